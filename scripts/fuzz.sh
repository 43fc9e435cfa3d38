#!/usr/bin/env bash
# fuzz.sh -- builds the libFuzzer targets with clang and runs each on a copy of its corpus for a
# bounded time (seconds, default 60). Anything found is left in build-fuzz/findings.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
scripts/install-deps.sh fuzz
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVANE_FUZZ=ON \
  -DQUORVANE_BUILD_GUI=OFF -DQUORVANE_BUILD_TESTS=OFF -DQUORVANE_BUILD_BENCH=OFF
cmake --build build-fuzz -j"$(nproc)"
mkdir -p build-fuzz/findings
# The sanitizer's allocator keeps freed memory; hand it back so long runs stay within the limit.
export ASAN_OPTIONS=allocator_release_to_os_interval_ms=500
for target in restore_rod unpack_decisions zlib_file round_trip; do
  work=build-fuzz/work/$target
  rm -rf "$work" && mkdir -p "$work" && cp fuzz/corpus/$target/* "$work"/
  echo "== fuzzing $target for ${seconds}s"
  build-fuzz/fuzz/fuzz_$target -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
    -max_len=8192 -print_final_stats=1 -artifact_prefix=build-fuzz/findings/$target- \
    "$work" 2>&1 | grep -E '^(stat::number_of_executed_units|stat::new_units_added|==|SUMMARY)|Done'
done
