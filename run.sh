#!/usr/bin/env bash
# Installs what is missing, builds, and starts the downloader against the local demo platform.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
exec "${BUILD_DIR:-$root/build}/downloader/downloader" "$@"
