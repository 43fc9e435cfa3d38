// samples.h -- the sample data the tests, the widget tests and the benchmarks share, from fixed
// generators so that a seed always gives the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <random>
#include <vector>

namespace quorvane::test {

std::vector<uint8_t> random_bytes(std::mt19937& rng, size_t count);

// Mostly zero bytes, one in `every` random: data that shrinks a lot and needs many passes.
std::vector<uint8_t> sparse_bytes(size_t count, uint32_t seed = 1, unsigned every = 50);

// Readable English-like text of the given size.
std::vector<uint8_t> text_bytes(size_t count, uint32_t seed = 1);

void write_file(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> read_file(const std::filesystem::path& path);

}  // namespace quorvane::test
