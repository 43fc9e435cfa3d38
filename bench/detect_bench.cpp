// Benchmarks of settings detection: the rod files of typical 32 KB files (default settings)
// against one restoration of the same file, and hostile files whose every setting runs long.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "bench/bench_samples.h"
#include "rodfile/rod_header.h"
#include "run/restoration.h"
#include "run/rod_detection.h"
#include "run/run_files.h"
#include "zstream/zlib_buffer.h"

namespace quorvane {
namespace {

std::vector<uint8_t> sample(const std::string& kind) {
    return sample_file(kind, 11);
}

// The rod file the default settings make of a sample, packed in memory.
std::vector<uint8_t> rod_of(const std::string& kind) {
    const std::vector<uint8_t> input = sample(kind);
    SilentObserver ui;
    RunResult result = pack_buffer(input, Settings{}, ui, false);
    if (result.outcome != RunOutcome::Tested) return {};
    return std::move(result.bytes);
}

// Zero data of data_bits bits under a header that promises the most whole rods the fields can
// carry and the most passes, with a decision part that inflates: no rod is ever split, so under
// every setting the reverse passes walk the data until the whole rods or the passes run out.
std::vector<uint8_t> hostile_rod(int32_t data_bits) {
    RodHeader h;
    h.CycleCount = 1;
    h.PassDepth = kMaxPassDepth;
    h.TrailingBitCount = data_bits % 8;
    h.LowRods = (1 << 27) - 1;
    h.RodBalance = kMaxRodBalance;
    h.DataBitCount = data_bits;
    h.SourceByteCount = 1;
    BitString stream = *encode_header(h);
    stream.append_repeated(false, static_cast<size_t>(data_bits + pad_bits(data_bits)));
    std::vector<uint8_t> bytes = stream.to_bytes();
    const uint8_t zero = 0;
    const std::vector<uint8_t> decisions = DeflateBuffer(&zero, 1, ZCompressionLevel::Default);
    bytes.insert(bytes.end(), decisions.begin(), decisions.end());
    return bytes;
}

void BM_Detect32K(benchmark::State& state, const std::string& kind) {
    const std::vector<uint8_t> rod = rod_of(kind);
    if (rod.empty()) state.SkipWithError("not packed");
    for (auto _ : state) {
        const DetectionReport report = detect_rod_settings(rod);
        if (report.results.size() != 1) state.SkipWithError("not found");
    }
    state.counters["rod_bytes"] = static_cast<double>(rod.size());
}

// The baseline: the one restoration detection has to find among 254.
void BM_RestoreOne32K(benchmark::State& state, const std::string& kind) {
    const std::vector<uint8_t> rod = rod_of(kind);
    for (auto _ : state) {
        if (!restore_rod_bytes(rod, 2, true)) state.SkipWithError("did not restore");
    }
}

void BM_DetectHostile(benchmark::State& state) {
    const std::vector<uint8_t> rod = hostile_rod(static_cast<int32_t>(state.range(0)));
    for (auto _ : state) {
        if (!detect_rod_settings(rod).results.empty()) state.SkipWithError("restored");
    }
    state.counters["rod_bytes"] = static_cast<double>(rod.size());
}

BENCHMARK_CAPTURE(BM_Detect32K, text, std::string("text"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Detect32K, sparse, std::string("sparse"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Detect32K, random, std::string("random"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RestoreOne32K, text, std::string("text"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RestoreOne32K, sparse, std::string("sparse"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RestoreOne32K, random, std::string("random"))->Unit(benchmark::kMillisecond);
// Up to seconds each: one run, whatever --benchmark_repetitions says.
BENCHMARK(BM_DetectHostile)
    ->Arg(4088)
    ->Arg(1 << 19)
    ->Iterations(1)
    ->Repetitions(1)
    ->Unit(benchmark::kSecond);

}  // namespace
}  // namespace quorvane
