// Benchmarks of one centrifuge pass: the packed engine against the text model and a memcpy floor.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "engine/centrifuge_pass.h"
#include "engine/reverse_pass.h"
#include "tests/reference_model.h"

namespace quorvane {
namespace {

constexpr size_t kPassBits = 262136;  // the bits of the largest input, 32767 bytes

std::string random_bit_text(size_t count) {
    std::mt19937 rng(42);
    std::string text(count, '0');
    for (auto& c : text)
        c = (rng() & 1) != 0 ? '1' : '0';
    return text;
}

void BM_Memcpy32K(benchmark::State& state) {
    std::vector<char> from(32768, 'x');
    std::vector<char> to(32768);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size());
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 32768);
}
BENCHMARK(BM_Memcpy32K);

void BM_Pass(benchmark::State& state) {
    const auto rod_size = static_cast<unsigned>(state.range(0));
    const BitString data = BitString::from_text(random_bit_text(kPassBits));
    BitString out;
    BitString decisions;
    decisions.reserve(kPassBits);
    for (auto _ : state) {
        decisions.clear();
        benchmark::DoNotOptimize(centrifuge(data, rod_size, out, decisions));
    }
}
BENCHMARK(BM_Pass)->Arg(2)->Arg(3)->Arg(8)->Arg(128)->Unit(benchmark::kMicrosecond);

void BM_PassRodByRod(benchmark::State& state) {
    const auto rod_size = static_cast<unsigned>(state.range(0));
    const BitString data = BitString::from_text(random_bit_text(kPassBits));
    BitString out;
    BitString decisions;
    for (auto _ : state) {
        decisions.clear();
        benchmark::DoNotOptimize(centrifuge(data, rod_size, out, decisions, false));
    }
}
BENCHMARK(BM_PassRodByRod)->Arg(2)->Arg(3)->Arg(8)->Arg(128)->Unit(benchmark::kMicrosecond);

void BM_PassModel(benchmark::State& state) {
    const std::string text = random_bit_text(kPassBits);
    for (auto _ : state) {
        model::PassState s;
        s.rod_size = static_cast<int>(state.range(0));
        s.data = text;
        model::CentrifugePass(s);
        benchmark::DoNotOptimize(s.data.data());
    }
}
BENCHMARK(BM_PassModel)->Arg(2)->Arg(3)->Arg(8)->Arg(128)->Unit(benchmark::kMicrosecond);

// One reverse pass undoing one forward pass over the same data.
void BM_ReversePass(benchmark::State& state) {
    const auto rod_size = static_cast<unsigned>(state.range(0));
    const BitString data = BitString::from_text(random_bit_text(kPassBits));
    BitString packed;
    BitString decisions;
    const PassCounts counts = centrifuge(data, rod_size, packed, decisions);
    for (auto _ : state) {
        int64_t left = static_cast<int64_t>(decisions.size());
        int32_t high = counts.high;
        BitString restored;
        size_t consumed = 0;
        benchmark::DoNotOptimize(
            reverse_rods(packed, rod_size, decisions, left, high, restored, consumed));
    }
}
BENCHMARK(BM_ReversePass)->Arg(2)->Arg(3)->Arg(8)->Arg(128)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace quorvane
