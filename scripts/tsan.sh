#!/usr/bin/env bash
# Builds the toolkit's stress tests with ThreadSanitizer in build-tsan/ (or
# $TSAN_BUILD_DIR) and runs them; only the targets they need are built.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${TSAN_BUILD_DIR:-$root/build-tsan}"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGDL_TSAN=ON \
    -DGDL_BENCHMARKS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target toolkit_stress_tests
export TSAN_OPTIONS="halt_on_error=1 abort_on_error=0 exitcode=66 ${TSAN_OPTIONS:-}"
ctest --test-dir "$build" --output-on-failure -j"$(nproc)" -R '^toolkit_stress_tests$'
