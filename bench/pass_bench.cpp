// Benchmarks of one centrifuge pass and one reverse pass: the packed engine against the text
// model and a memcpy floor, on random and on zero-heavy data.
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

// The data a pass works on: random bits; an executable-like mix (one 64-bit word in a hundred
// holds random bits, the rest are zero, as in the passes over a small program); or the largest
// input with only its first bit set.
enum class Data { Random, Sparse, OneBit };

BitString pass_data(Data kind) {
    if (kind == Data::Random) return BitString::from_text(random_bit_text(kPassBits));
    std::vector<uint8_t> bytes(kPassBits / 8);
    if (kind == Data::OneBit) {
        bytes[0] = 0x80;
    } else {
        std::mt19937 rng(11);
        for (size_t word = 0; word + 8 <= bytes.size(); word += 8) {
            if (rng() % 100 != 0) continue;
            for (size_t i = 0; i < 8; ++i)
                bytes[word + i] = static_cast<uint8_t>(rng());
        }
    }
    return BitString::from_bytes(bytes);
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

// One pass, the output buffer kept from pass to pass as CentrifugePass keeps it.
void run_pass(benchmark::State& state, Data kind, KernelPath path) {
    const auto rod_size = static_cast<unsigned>(state.range(0));
    const BitString data = pass_data(kind);
    BitString out;
    BitString decisions;
    decisions.reserve(kPassBits);
    for (auto _ : state) {
        decisions.clear();
        benchmark::DoNotOptimize(centrifuge(data, rod_size, out, decisions, path));
    }
}

// One reverse pass undoing one forward pass over the same data.
void run_reverse_pass(benchmark::State& state, Data kind, KernelPath path) {
    const auto rod_size = static_cast<unsigned>(state.range(0));
    const BitString data = pass_data(kind);
    BitString packed;
    BitString decisions;
    const PassCounts counts = centrifuge(data, rod_size, packed, decisions);
    BitString restored;
    for (auto _ : state) {
        int64_t left = static_cast<int64_t>(decisions.size());
        int32_t high = counts.high;
        size_t consumed = 0;
        restored.clear();
        if (!reverse_rods(packed, rod_size, decisions, left, high, restored, consumed, path)) {
            state.SkipWithError("not restored");
            break;
        }
        benchmark::DoNotOptimize(restored);
    }
}

// The fastest path this processor has; the others beside it, where it has them.
constexpr KernelPath kBest = KernelPath::Avx512;

// The path a benchmark asks for, or false (the benchmark skipped) when it is not in use here.
bool usable(benchmark::State& state, KernelPath& path) {
    if (path == kBest) path = best_kernel_path();
    if (path <= best_kernel_path()) return true;
    state.SkipWithError("path not available here");
    return false;
}
void run_pass_on(benchmark::State& state, Data kind, KernelPath path) {
    if (usable(state, path)) run_pass(state, kind, path);
}
void run_reverse_pass_on(benchmark::State& state, Data kind, KernelPath path) {
    if (usable(state, path)) run_reverse_pass(state, kind, path);
}

void BM_Pass(benchmark::State& state) {
    run_pass_on(state, Data::Random, kBest);
}
void BM_PassBmi2(benchmark::State& state) {
    run_pass_on(state, Data::Random, KernelPath::Bmi2);
}
void BM_PassRodByRod(benchmark::State& state) {
    run_pass_on(state, Data::Random, KernelPath::Portable);
}
void BM_ReversePass(benchmark::State& state) {
    run_reverse_pass_on(state, Data::Random, kBest);
}
void BM_ReversePassBmi2(benchmark::State& state) {
    run_reverse_pass_on(state, Data::Random, KernelPath::Bmi2);
}
void BM_ReversePassRodByRod(benchmark::State& state) {
    run_reverse_pass_on(state, Data::Random, KernelPath::Portable);
}
void BM_PassSparse(benchmark::State& state) {
    run_pass_on(state, Data::Sparse, kBest);
}
void BM_ReversePassSparse(benchmark::State& state) {
    run_reverse_pass_on(state, Data::Sparse, kBest);
}
void BM_PassOneBit(benchmark::State& state) {
    run_pass_on(state, Data::OneBit, kBest);
}
void BM_ReversePassOneBit(benchmark::State& state) {
    run_reverse_pass_on(state, Data::OneBit, kBest);
}

void rod_sizes(benchmark::internal::Benchmark* b) {
    for (int r : {2, 3, 4, 5, 8, 16, 32, 64, 128})
        b->Arg(r);
    b->Unit(benchmark::kMicrosecond);
}
void few_rod_sizes(benchmark::internal::Benchmark* b) {
    for (int r : {2, 3, 8, 128})
        b->Arg(r);
    b->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_Pass)->Apply(rod_sizes);
BENCHMARK(BM_ReversePass)->Apply(rod_sizes);
BENCHMARK(BM_PassBmi2)->Apply(rod_sizes);
BENCHMARK(BM_ReversePassBmi2)->Apply(rod_sizes);
BENCHMARK(BM_PassRodByRod)->Apply(rod_sizes);
BENCHMARK(BM_ReversePassRodByRod)->Apply(rod_sizes);
BENCHMARK(BM_PassSparse)->Apply(few_rod_sizes);
BENCHMARK(BM_ReversePassSparse)->Apply(few_rod_sizes);
BENCHMARK(BM_PassOneBit)->Apply(few_rod_sizes);
BENCHMARK(BM_ReversePassOneBit)->Apply(few_rod_sizes);

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

}  // namespace
}  // namespace quorvane
