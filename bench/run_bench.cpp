// Benchmarks of whole packing and restoring runs over 32 KB files with the default settings.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "run/restoration.h"
#include "run/run_driver.h"

namespace quorvane {
namespace {

constexpr size_t kFileSize = 32767;

std::vector<uint8_t> sample(const std::string& kind) {
    std::mt19937 rng(7);
    std::vector<uint8_t> bytes(kFileSize);
    static const char* words[] = {"the ",  "rod ",   "splits ", "into ",  "low ",
                                  "and ",  "high ",  "bits, ",  "while ", "each ",
                                  "pass ", "moves ", "heads.\n"};
    if (kind == "text") {
        std::string text;
        while (text.size() < kFileSize)
            text += words[rng() % 13];
        std::copy_n(text.begin(), kFileSize, bytes.begin());
    } else if (kind == "sparse") {
        for (auto& b : bytes)
            b = rng() % 50 == 0 ? static_cast<uint8_t>(rng()) : 0;
    } else {
        for (auto& b : bytes)
            b = static_cast<uint8_t>(rng());
    }
    return bytes;
}

std::string write_sample(const std::string& kind) {
    const auto path = std::filesystem::temp_directory_path() / ("quorvane-bench-" + kind);
    const auto bytes = sample(kind);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path.string();
}

// Pack (with every cycle's verification) to a rod file.
void BM_Pack32K(benchmark::State& state, const std::string& kind) {
    const std::string path = write_sample(kind);
    RunSettings settings;
    SilentFrontEnd ui;
    for (auto _ : state) {
        Engine e(settings, ui);
        load_file(e, path);
        benchmark::DoNotOptimize(ProcessRun(e, false));
    }
    std::filesystem::remove(path);
    std::filesystem::remove(path + ".rod");
}

// Restore a rod stream in memory (reading the file and writing the output excluded).
void BM_Restore32K(benchmark::State& state, const std::string& kind) {
    const std::string path = write_sample(kind);
    RunSettings settings;
    SilentFrontEnd ui;
    Engine packer(settings, ui);
    load_file(packer, path);
    ProcessRun(packer, false);
    const BitString stream = packer.run.StreamBits;
    for (auto _ : state) {
        Engine e(settings, ui);
        e.run.RodSize = 2;
        e.run.StreamBits = stream;
        e.run.CurrentSize = static_cast<int32_t>(stream.size() / 8);
        if (!RestoreStream(e)) state.SkipWithError("did not restore");
    }
    std::filesystem::remove(path);
    std::filesystem::remove(path + ".rod");
}

BENCHMARK_CAPTURE(BM_Pack32K, text, std::string("text"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Pack32K, random, std::string("random"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Pack32K, sparse, std::string("sparse"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Restore32K, text, std::string("text"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Restore32K, random, std::string("random"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Restore32K, sparse, std::string("sparse"))->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quorvane
