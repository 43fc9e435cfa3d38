// bench_samples.h -- the 32 KB sample files the run and detection benchmarks share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quorvane {

constexpr size_t kSampleSize = 32767;

// "text" (words and blanks), "sparse" (one byte in fifty set) or anything else for random bytes;
// the same seed gives the same file.
std::vector<uint8_t> sample_file(const std::string& kind, unsigned seed);

}  // namespace quorvane
