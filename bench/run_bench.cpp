// Benchmarks of whole packing and restoring runs: 32 KB files with the default settings, and the
// worst cases.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_samples.h"
#include "rodfile/rod_header.h"
#include "run/restoration.h"
#include "run/run_files.h"
#include "status/run_records.h"

namespace quorvane {
namespace {

std::vector<uint8_t> sample(const std::string& kind) {
    return sample_file(kind, 7);
}

std::string write_bytes(const std::string& name, const std::vector<uint8_t>& bytes) {
    const auto path = std::filesystem::temp_directory_path() / ("quorvane-bench-" + name);
    test::write_file(path, bytes);
    return path.string();
}

std::string write_sample(const std::string& kind) {
    return write_bytes(kind, sample(kind));
}

// Pack (with every cycle's verification) to a rod file; Observer sees the run (the run chart's
// records against none).
template <typename Observer>
void pack_32k(benchmark::State& state, const std::string& kind) {
    const std::string path = write_sample(kind);
    Observer ui;
    for (auto _ : state) {
        Engine e(ui);
        load_file(e, path);
        benchmark::DoNotOptimize(ProcessRun(e, false));
    }
    std::filesystem::remove(path);
    std::filesystem::remove(path + ".rod");
}

void BM_Pack32K(benchmark::State& state, const std::string& kind) {
    pack_32k<SilentObserver>(state, kind);
}

void BM_Pack32KRecorded(benchmark::State& state, const std::string& kind) {
    pack_32k<RunRecords>(state, kind);
}

// Restore a rod stream in memory (reading the file and writing the output excluded).
void BM_Restore32K(benchmark::State& state, const std::string& kind) {
    const std::string path = write_sample(kind);
    SilentObserver ui;
    Engine packer(ui);
    load_file(packer, path);
    ProcessRun(packer, false);
    const BitString stream = packer.run.StreamBits;
    for (auto _ : state) {
        Engine e(ui);
        e.run.RodSize = 2;
        e.run.StreamBits = stream;
        e.run.CurrentSize = static_cast<int32_t>(stream.size() / 8);
        if (!RestoreStream(e)) state.SkipWithError("did not restore");
    }
    std::filesystem::remove(path);
    std::filesystem::remove(path + ".rod");
}

// The inputs the scheme is slowest on: zero-heavy data that needs thousands of passes, and a
// tiny input whose stream grows cycle by cycle up to the cycle cap.
struct WorstCase {
    std::vector<uint8_t> bytes;
    int rod_size = 2;
    bool lz77 = true;
    const char* loops = "2";  // cycles before auto stop takes over
    int32_t max_cycles = kMaxCycleCount;
};

// Like a small stripped program: stretches of code-like bytes (many zeros, a few common opcodes,
// the rest random) between long runs of zero padding; packs much like one (thousands of passes
// per cycle over data whose words are nearly all zero).
std::vector<uint8_t> executable_like() {
    std::mt19937 rng(27);
    std::vector<uint8_t> bytes;
    const auto code = [&](size_t n) {
        static const uint8_t common[] = {0x48, 0x89, 0x8b, 0xe8, 0xff, 0x0f, 0x85, 0xc3, 0x24};
        for (size_t i = 0; i < n; ++i) {
            const uint32_t x = rng() % 10;
            bytes.push_back(x < 3 ? 0 : x < 6 ? common[rng() % 9] : static_cast<uint8_t>(rng()));
        }
    };
    const auto zeros = [&](size_t n) { bytes.insert(bytes.end(), n, 0); };
    code(1200);
    zeros(3600);
    code(9000);
    zeros(3900);
    code(4000);
    zeros(1100);
    code(4136);
    return bytes;
}

WorstCase worst_case(const std::string& name) {
    WorstCase c;
    if (name.rfind("executable", 0) == 0) {
        c.bytes = executable_like();
        c.rod_size = name == "executable_r3" ? 3 : name == "executable_r8" ? 8 : 2;
    } else if (name.rfind("one_bit", 0) == 0) {
        // 32767 bytes, all zero but the first bit. Short: the first 20 of its 80-odd cycles.
        c.bytes.assign(kSampleSize, 0);
        c.bytes[0] = 0x80;
        c.rod_size = name == "one_bit_r3_short" ? 3 : 2;
        c.max_cycles = 20;
    } else {
        // 82 random bytes, no LZ77, no auto stop. Short: the first 1000 of 32767 cycles (the
        // stream grows by some 18 bytes a cycle, so the whole run is about 500 times longer).
        std::mt19937 rng(82);
        for (int i = 0; i < 82; ++i)
            c.bytes.push_back(static_cast<uint8_t>(rng()));
        c.lz77 = false;
        c.loops = "0";
        c.max_cycles = 1000;
    }
    return c;
}

Engine& prepared(Engine& e, const WorstCase& c, const std::string& path) {
    e.settings.rod_size = static_cast<unsigned>(c.rod_size);
    e.settings.lz77 = c.lz77;
    e.settings.loop_count = strict_decimal(c.loops);
    e.limits.max_cycles = c.max_cycles;
    load_file(e, path);
    return e;
}

// A whole packing run, its verification included, written to a rod file.
void BM_PackWorst(benchmark::State& state, const std::string& name) {
    const WorstCase c = worst_case(name);
    const std::string path = write_bytes(name, c.bytes);
    SilentObserver ui;
    for (auto _ : state) {
        Engine e(ui);
        if (!ProcessRun(prepared(e, c, path), false).successful()) state.SkipWithError("no stream");
    }
    std::filesystem::remove(path);
    std::filesystem::remove(path + ".rod");
}

// The restoration of the stream the packing run wrote, in memory.
void BM_RestoreWorst(benchmark::State& state, const std::string& name) {
    const WorstCase c = worst_case(name);
    const std::string path = write_bytes(name, c.bytes);
    SilentObserver ui;
    Engine packer(ui);
    ProcessRun(prepared(packer, c, path), false);
    const BitString stream = packer.run.StreamBits;
    for (auto _ : state) {
        Engine e(ui);
        e.settings.lz77 = c.lz77;
        e.run.RodSize = static_cast<uint8_t>(c.rod_size);
        e.run.StreamBits = stream;
        e.run.CurrentSize = static_cast<int32_t>(stream.size() / 8);
        if (!RestoreStream(e)) state.SkipWithError("did not restore");
    }
    std::filesystem::remove(path);
    std::filesystem::remove(path + ".rod");
}

#define WORST_CASE(name)                                                                      \
    BENCHMARK_CAPTURE(BM_PackWorst, name, std::string(#name))->Unit(benchmark::kMillisecond); \
    BENCHMARK_CAPTURE(BM_RestoreWorst, name, std::string(#name))->Unit(benchmark::kMillisecond)

WORST_CASE(executable_r2);
WORST_CASE(executable_r3);
WORST_CASE(executable_r8);
WORST_CASE(one_bit_r3_short);
WORST_CASE(one_bit_r2_short);
WORST_CASE(random82_no_lz77_short);

BENCHMARK_CAPTURE(BM_Pack32K, text, std::string("text"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Pack32K, random, std::string("random"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Pack32K, sparse, std::string("sparse"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Pack32KRecorded, sparse, std::string("sparse"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Restore32K, text, std::string("text"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Restore32K, random, std::string("random"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Restore32K, sparse, std::string("sparse"))->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quorvane
