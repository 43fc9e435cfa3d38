#!/usr/bin/env bash
# test.sh -- installs what is needed, builds everything (warnings are errors) and runs all tests.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DQUORVANE_WERROR=ON -DQUORVANE_BUILD_TESTS=ON \
  -DQUORVANE_BUILD_BENCH=ON
cmake --build build -j"$(nproc)"
QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure -j"$(nproc)"
