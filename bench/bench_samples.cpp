// bench_samples.cpp -- the sample files, from a fixed generator so that every run measures the
// same bytes.
#include "bench/bench_samples.h"

#include <algorithm>
#include <random>

namespace quorvane {

std::vector<uint8_t> sample_file(const std::string& kind, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> bytes(kSampleSize);
    static const char* words[] = {"the ",  "rod ",   "splits ", "into ",  "low ",
                                  "and ",  "high ",  "bits, ",  "while ", "each ",
                                  "pass ", "moves ", "heads.\n"};
    if (kind == "text") {
        std::string text;
        while (text.size() < kSampleSize)
            text += words[rng() % 13];
        std::copy_n(text.begin(), kSampleSize, bytes.begin());
    } else if (kind == "sparse") {
        for (auto& b : bytes)
            b = rng() % 50 == 0 ? static_cast<uint8_t>(rng()) : 0;
    } else {
        for (auto& b : bytes)
            b = static_cast<uint8_t>(rng());
    }
    return bytes;
}

}  // namespace quorvane
