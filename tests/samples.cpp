// samples.cpp -- the shared sample data.
#include "tests/samples.h"

#include <array>
#include <fstream>
#include <iterator>

namespace quorvane::test {

std::vector<uint8_t> random_bytes(std::mt19937& rng, size_t count) {
    std::vector<uint8_t> out(count);
    std::uniform_int_distribution<int> byte(0, 255);
    for (auto& b : out)
        b = static_cast<uint8_t>(byte(rng));
    return out;
}

std::vector<uint8_t> sparse_bytes(size_t count, uint32_t seed, unsigned every) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> out(count, 0);
    for (auto& b : out) {
        if (rng() % every == 0) b = static_cast<uint8_t>(rng());
    }
    return out;
}

std::vector<uint8_t> text_bytes(size_t count, uint32_t seed) {
    static const std::array<const char*, 16> words = {
        "the ", "centrifuge ", "splits ", "rods ",  "of ",    "bits ", "into ",  "low ",
        "and ", "high ",       "ones, ",  "while ", "every ", "pass ", "moves ", "heads.\n"};
    std::mt19937 rng(seed);
    std::uniform_int_distribution<size_t> pick(0, words.size() - 1);
    std::vector<uint8_t> out;
    while (out.size() < count) {
        const char* w = words[pick(rng)];
        while (*w != 0 && out.size() < count)
            out.push_back(static_cast<uint8_t>(*w++));
    }
    return out;
}

void write_file(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace quorvane::test
