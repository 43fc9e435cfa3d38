// test_support.cpp -- shared helpers for the tests.
#include "tests/test_support.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>

#include "run/run_files.h"

namespace quorvane::test {

std::vector<uint8_t> random_bytes(std::mt19937& rng, size_t count) {
    std::vector<uint8_t> out(count);
    std::uniform_int_distribution<int> byte(0, 255);
    for (auto& b : out)
        b = static_cast<uint8_t>(byte(rng));
    return out;
}

std::string random_bit_text(std::mt19937& rng, size_t count, double ones) {
    std::bernoulli_distribution bit(ones);
    std::string out(count, '0');
    for (auto& c : out)
        c = bit(rng) ? '1' : '0';
    return out;
}

std::string zero_heavy_bit_text(std::mt19937& rng, size_t count) {
    std::string out(count, '0');
    for (size_t block = 0; block < count; block += 64) {
        const size_t length = std::min<size_t>(64, count - block);
        const uint32_t kind = rng() % 16;
        if (kind == 0) {
            out.replace(block, length, random_bit_text(rng, length));
        } else if (kind == 1) {
            out[block + rng() % length] = '1';
        }
    }
    return out;
}

std::string hex(const std::vector<uint8_t>& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i != 0) out += ' ';
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 15];
    }
    return out;
}

BitString bits(std::string_view text) {
    return BitString::from_text(text);
}

std::optional<RodStream> create_header(const CycleFields& fields, RunObserver& ui) {
    const CycleCounts counts{fields.cycle, fields.passes, fields.low, fields.high,
                             fields.source_bytes};
    return CreateFileHeader(counts, fields.data, fields.decision_stream, ui);
}

std::vector<uint8_t> pack_bytes(const std::vector<uint8_t>& input,
                                const std::function<void(SettingTexts&)>& tweak) {
    TempDir dir;
    write_file(dir / "in", input);
    SettingTexts settings;
    if (tweak) tweak(settings);
    QuietObserver ui;
    Engine e(ui.reading(settings));
    EXPECT_EQ(load_file(e, (dir / "in").string()), LoadResult::Accepted);
    if (ProcessRun(e, false).outcome != RunOutcome::Written) return {};
    return read_file(dir / "in.rod");
}

std::vector<uint8_t> rod_bytes(const CycleFields& fields) {
    QuietObserver ui;
    const std::optional<RodStream> stream = create_header(fields, ui);
    EXPECT_TRUE(stream);
    return stream ? stream->StreamBits.to_bytes() : std::vector<uint8_t>{};
}

std::vector<uint8_t> sparse_bytes(size_t count, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> out(count, 0);
    for (auto& b : out) {
        if (rng() % 50 == 0) b = static_cast<uint8_t>(rng());
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

TempDir::TempDir() {
    static std::mt19937_64 rng{std::random_device{}()};
    path_ = std::filesystem::temp_directory_path() / ("quorvane-test-" + std::to_string(rng()));
    std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::vector<std::string> TempDir::files() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
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
