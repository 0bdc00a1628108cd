#!/usr/bin/env bash
# Configures and builds into build/ (or $BUILD_DIR): everything, or only the targets
# that BUILD_TARGETS names (separated by blanks) with what they need.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" "$@" >/dev/null
read -r -a targets <<<"${BUILD_TARGETS:-}"
cmake --build "$build" -j"$(nproc)" ${targets[@]+--target "${targets[@]}"}
