// The baselines study computes beside every file: a 32 KB file under each, to set against
// packing the same file (BM_Pack32K).
#include <benchmark/benchmark.h>

#include <string>

#include "bench/bench_samples.h"
#include "zstream/baselines.h"

namespace quorvane {
namespace {

void BM_Baseline32K(benchmark::State& state, Baseline baseline, const std::string& kind) {
    const std::vector<uint8_t> bytes = sample_file(kind, 7);
    for (auto _ : state)
        benchmark::DoNotOptimize(baseline_bytes(baseline, bytes));
}

#define QUORVANE_BASELINE_BENCH(name, baseline)                                                 \
    BENCHMARK_CAPTURE(BM_Baseline32K, name##_text, Baseline::baseline, std::string("text"))     \
        ->Unit(benchmark::kMillisecond);                                                        \
    BENCHMARK_CAPTURE(BM_Baseline32K, name##_sparse, Baseline::baseline, std::string("sparse")) \
        ->Unit(benchmark::kMillisecond)

QUORVANE_BASELINE_BENCH(zlib, Zlib);
QUORVANE_BASELINE_BENCH(zstd, Zstd);
QUORVANE_BASELINE_BENCH(xz, Xz);
QUORVANE_BASELINE_BENCH(entropy, Entropy);

}  // namespace
}  // namespace quorvane
