#!/usr/bin/env bash
# sanitize.sh -- builds everything with AddressSanitizer and UndefinedBehaviorSanitizer in a
# second build folder and runs the whole test suite there (the C API's test, compiled as C and
# linked to the shared library, among it).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVANE_SANITIZE=ON \
  -DQUORVANE_WERROR=ON -DQUORVANE_BUILD_TESTS=ON -DQUORVANE_BUILD_BENCH=OFF
cmake --build build-sanitize -j"$(nproc)"
export ASAN_OPTIONS=abort_on_error=1:detect_leaks=1
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
QT_QPA_PLATFORM=offscreen ctest --test-dir build-sanitize --output-on-failure -j"$(nproc)"
