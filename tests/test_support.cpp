// test_support.cpp -- shared helpers for the tests.
#include "tests/test_support.h"

#include <algorithm>

#include "run/run_files.h"

namespace quorvane::test {

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

}  // namespace quorvane::test
