#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test; then the stress tests under
# ThreadSanitizer and every test under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
cd "${BUILD_DIR:-$root/build}"
ctest --output-on-failure -j"$(nproc)" --timeout 300
"$root/scripts/tsan.sh"
"$root/scripts/asan.sh"
