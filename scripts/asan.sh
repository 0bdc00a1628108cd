#!/usr/bin/env bash
# Builds every test with AddressSanitizer and UndefinedBehaviorSanitizer in build-asan/
# (or $ASAN_BUILD_DIR) and runs them all. Optimised lightly and with line tables only,
# so the second build stays short; any report fails its test. The leaks of system
# libraries that are known are built into the programs (cmake/lsan_suppressions.cpp).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${ASAN_BUILD_DIR:-$root/build-asan}"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGDL_ASAN=ON \
    -DGDL_BENCHMARKS=OFF -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g1" \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1" >/dev/null
export UBSAN_OPTIONS="print_stacktrace=1 ${UBSAN_OPTIONS:-}"
cmake --build "$build" -j"$(nproc)"
ctest --test-dir "$build" --output-on-failure -j"$(nproc)" --timeout 600
