// bench_samples.h -- the 32 KB sample files the run and detection benchmarks share, made by the
// tests' sample makers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/samples.h"

namespace quorvane {

constexpr size_t kSampleSize = 32767;

// "text" (words and blanks), "sparse" (one byte in fifty set) or anything else for random bytes;
// the same seed gives the same file.
inline std::vector<uint8_t> sample_file(const std::string& kind, unsigned seed) {
    if (kind == "text") return test::text_bytes(kSampleSize, seed);
    if (kind == "sparse") return test::sparse_bytes(kSampleSize, seed);
    std::mt19937 rng(seed);
    return test::random_bytes(rng, kSampleSize);
}

}  // namespace quorvane
