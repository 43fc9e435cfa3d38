// The integrity trailer: its format, every single-bit flip of a rod file, and what runs write,
// read and refuse.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "engine/errors.h"
#include "rodfile/rod_trailer.h"
#include "run/restoration.h"
#include "run/run_files.h"
#include "tests/test_support.h"

namespace quorvane {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes with_trailer(Bytes stream, const Bytes& content) {
    const auto trailer =
        build_trailer(stream, static_cast<uint32_t>(content.size()), crc32_of(content));
    stream.insert(stream.end(), trailer.begin(), trailer.end());
    return stream;
}

class TrailerRun : public ::testing::Test {
  protected:
    test::TempDir dir;
    SettingTexts settings;
    QuietObserver ui;
    Engine e{ui.reading(settings)};

    RunResult run(const std::string& name, bool unpacking, const RunOptions& options = {}) {
        EXPECT_EQ(load_file(e, (dir / name).string()), LoadResult::Accepted);
        return ProcessRun(e, unpacking, options);
    }
};

// Every single-bit flip of a rod file of a 600-byte text: refused, or restored exactly (a flip
// in the tag leaves a file without trailer whose stream is intact); never restored to wrong data.
class EveryBitFlip : public TrailerRun, public ::testing::WithParamInterface<bool> {};

TEST_P(EveryBitFlip, NeverRestoresToWrongData) {
    if (!GetParam()) {
        settings.set(Setting::Lz77, "");
        settings.set(Setting::LoopMode, std::string(kSingleCycles));
    }
    const Bytes input = test::text_bytes(600, 7);
    test::write_file(dir / "in", input);
    ASSERT_EQ(run("in", false).outcome, RunOutcome::Written);
    const Bytes rod = test::read_file(dir / "in.rod");
    int refused = 0, exact = 0;
    for (size_t bit = 0; bit < rod.size() * 8; ++bit) {
        Bytes flipped = rod;
        flipped[bit / 8] ^= static_cast<uint8_t>(0x80 >> (bit % 8));
        Engine r(ui.reading(settings));
        r.run.StreamBits = BitString::from_bytes(flipped);
        r.run.CurrentSize = static_cast<int32_t>(flipped.size());
        try {
            if (!RestoreStream(r)) {
                ++refused;
            } else {
                EXPECT_EQ(r.run.StreamBits.to_bytes(), input) << "bit " << bit;
                ++exact;
            }
        } catch (const EngineError&) {
            ++refused;
        }
    }
    EXPECT_EQ(exact, static_cast<int>(kTrailerTag.size() * 8));
    EXPECT_EQ(refused + exact, static_cast<int>(rod.size() * 8));
}

INSTANTIATE_TEST_SUITE_P(Lz77, EveryBitFlip, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Default" : "RawSingle"; });

TEST_F(TrailerRun, WrittenCheckedAndRefused) {
    const Bytes input = test::sparse_bytes(900, 3);
    test::write_file(dir / "in", input);
    ::chmod((dir / "in").c_str(), 0640);
    ASSERT_EQ(run("in", false).outcome, RunOutcome::Written);
    EXPECT_EQ(test::read_file(dir / "in.rod"), with_trailer(e.run.StreamBits.to_bytes(), input));
    // The output gets the input's permissions, in both directions.
    struct stat st {};
    ::stat((dir / "in.rod").c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0640U);
    std::filesystem::remove(dir / "in");
    EXPECT_TRUE(run("in.rod", true).content_checked);
    EXPECT_EQ(test::read_file(dir / "in"), input);
    ::stat((dir / "in").c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0640U);

    // A trailer of other content: restored, then refused.
    Bytes rod = test::read_file(dir / "in.rod");
    rod.resize(rod.size() - kTrailerBytes);
    Bytes other = input;
    other[5] ^= 1;
    test::write_file(dir / "x.rod", with_trailer(rod, other));
    EXPECT_THROW_MSG(run("x.rod", true), ECorruptData, "checksum mismatch");
    EXPECT_FALSE(std::filesystem::exists(dir / "x"));
}

TEST_F(TrailerRun, InputChangedAfterTheLoadIsRefused) {
    // Grown, or rewritten in place to the same size (only its modification time tells).
    for (const bool same_size : {false, true}) {
        test::write_file(dir / "in", test::sparse_bytes(900, 3));
        ASSERT_EQ(load_file(e, (dir / "in").string()), LoadResult::Accepted);
        if (same_size) {
            test::write_file(dir / "in", test::sparse_bytes(900, 4));
            const struct timespec later[2] = {{0, UTIME_OMIT}, {4000000000, 0}};
            ASSERT_EQ(::utimensat(AT_FDCWD, (dir / "in").c_str(), later, 0), 0);
        } else {
            std::ofstream(dir / "in", std::ios::app) << "more";
        }
        EXPECT_THROW_MSG(ProcessRun(e, false), EInOutError, "file changed while reading");
        EXPECT_EQ(dir.files(), std::vector<std::string>{"in"});
    }
}

// A trailer counts only with the version this program writes, even where its checksum matches.
TEST(TrailerFormat, OnlyItsOwnVersionCounts) {
    const Bytes stream = test::sparse_bytes(300, 5);
    for (const uint8_t version : {uint8_t{0}, kTrailerVersion, uint8_t{2}, uint8_t{255}}) {
        Bytes file = with_trailer(stream, {1, 2, 3});
        const size_t at = stream.size() + kTrailerTag.size();
        file[at] = version;
        const uint32_t crc = crc32_of(std::span(file).first(file.size() - 4));
        for (size_t i = 0; i < 4; ++i)
            file[file.size() - 4 + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
        EXPECT_EQ(find_trailer(file).state,
                  version == kTrailerVersion ? TrailerState::Valid : TrailerState::Damaged)
            << int{version};
    }
}

}  // namespace
}  // namespace quorvane
