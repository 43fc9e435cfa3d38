// The integrity trailer: its format, every single-bit flip of a rod file, and what runs write,
// read and refuse.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>

#include "engine/errors.h"
#include "rodfile/rod_trailer.h"
#include "run/restoration.h"
#include "run/run_driver.h"
#include "tests/test_support.h"

namespace quorvane {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes with_trailer(const Bytes& stream, const Bytes& content) {
    Bytes file = stream;
    const auto trailer =
        build_trailer(stream, static_cast<uint32_t>(content.size()), crc32_of(content));
    file.insert(file.end(), trailer.begin(), trailer.end());
    return file;
}

TEST(RodTrailer, FoundOnlyWhereTagVersionAndChecksumMatch) {
    const Bytes stream = test::text_bytes(300, 4);
    const Bytes content = test::text_bytes(1000, 5);
    const Bytes file = with_trailer(stream, content);
    ASSERT_EQ(file.size(), stream.size() + kTrailerBytes);
    // The zlib value of CRC-32 for "123456789".
    const std::string check = "123456789";
    EXPECT_EQ(crc32_of(Bytes(check.begin(), check.end())), 0xCBF43926U);

    const TrailerScan found = find_trailer(file);
    EXPECT_EQ(found.state, TrailerState::Valid);
    EXPECT_EQ(found.stream_bytes, stream.size());
    EXPECT_TRUE(trailer_matches(found.trailer, content));
    EXPECT_FALSE(trailer_matches(found.trailer, stream));

    EXPECT_EQ(find_trailer(stream).state, TrailerState::Absent);
    EXPECT_EQ(find_trailer(stream).stream_bytes, stream.size());
    EXPECT_EQ(find_trailer(Bytes(file.end() - 19, file.end())).state, TrailerState::Absent);
    // Damage anywhere but in the tag leaves a tagged trailer that does not count.
    for (const size_t at : {size_t{0}, stream.size() - 1, stream.size() + 7, file.size() - 1}) {
        Bytes damaged = file;
        damaged[at] ^= 0x01;
        EXPECT_EQ(find_trailer(damaged).state, TrailerState::Damaged) << "byte " << at;
    }
}

// Every single-bit flip of a rod file with its trailer: refused, or restored exactly (a flip in
// the tag leaves a file without trailer whose stream is intact). Never restored to wrong data.
struct FlipCase {
    const char* name;
    bool lz77;
    bool single;
};

class EveryBitFlip : public ::testing::TestWithParam<FlipCase> {};

TEST_P(EveryBitFlip, NeverRestoresToWrongData) {
    const FlipCase c = GetParam();
    RunSettings settings;
    settings.set(Setting::Lz77, c.lz77 ? "Z" : "");
    if (c.single) settings.set(Setting::LoopMode, std::string(kSingleCycles));
    const Bytes input = test::text_bytes(600, 7);
    test::TempDir dir;
    test::write_file(dir / "in", input);
    SilentFrontEnd quiet;
    Engine packer(settings, quiet);
    ASSERT_EQ(load_file(packer, (dir / "in").string()), LoadResult::Accepted);
    ASSERT_EQ(ProcessRun(packer, false).outcome, RunOutcome::Written);
    const Bytes rod = test::read_file(dir / "in.rod");
    ASSERT_EQ(find_trailer(rod).state, TrailerState::Valid);

    int refused = 0, exact = 0, wrong = 0;
    for (size_t bit = 0; bit < rod.size() * 8; ++bit) {
        Bytes flipped = rod;
        flipped[bit / 8] ^= static_cast<uint8_t>(0x80 >> (bit % 8));
        Engine e(settings, quiet);
        e.run.RodSize = 2;
        e.run.StreamBits = BitString::from_bytes(flipped);
        e.run.CurrentSize = static_cast<int32_t>(flipped.size());
        try {
            if (!RestoreStream(e)) {
                ++refused;
            } else if (e.run.StreamBits.to_bytes() == input) {
                ++exact;
            } else {
                ++wrong;
            }
        } catch (const EngineError&) {
            ++refused;
        }
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(exact, static_cast<int>(kTrailerTag.size() * 8));
    EXPECT_EQ(refused + exact, static_cast<int>(rod.size() * 8));
}

INSTANTIATE_TEST_SUITE_P(Settings, EveryBitFlip,
                         ::testing::Values(FlipCase{"Default", true, false},
                                           FlipCase{"RawSingle", false, true}),
                         [](const auto& info) { return std::string(info.param.name); });

class TrailerRun : public ::testing::Test {
  protected:
    test::TempDir dir;
    RunSettings settings;
    SilentFrontEnd ui;
    Engine e{settings, ui};

    RunResult run(const std::string& name, bool unpacking, const RunOptions& options = {}) {
        EXPECT_EQ(load_file(e, (dir / name).string()), LoadResult::Accepted);
        return ProcessRun(e, unpacking, options);
    }
};

TEST_F(TrailerRun, PackedWithTrailerUnlessAskedNotTo) {
    const Bytes input = test::sparse_bytes(900, 3);
    test::write_file(dir / "in", input);
    ASSERT_EQ(run("in", false).outcome, RunOutcome::Written);
    const Bytes stream = e.run.StreamBits.to_bytes();
    EXPECT_EQ(test::read_file(dir / "in.rod"), with_trailer(stream, input));

    RunOptions bare;
    bare.integrity_check = false;
    bare.output_path = (dir / "bare.rod").string();
    ASSERT_EQ(run("in", false, bare).outcome, RunOutcome::Written);
    EXPECT_EQ(test::read_file(dir / "bare.rod"), stream);

    std::filesystem::remove(dir / "in");
    EXPECT_TRUE(run("in.rod", true).content_checked);
    EXPECT_EQ(test::read_file(dir / "in"), input);
    RunOptions test_only;
    test_only.dry_run = true;
    const RunResult unchecked = run("bare.rod", true, test_only);
    EXPECT_EQ(unchecked.outcome, RunOutcome::Tested);
    EXPECT_FALSE(unchecked.content_checked);
}

TEST_F(TrailerRun, TrailerOfOtherContentIsAMismatch) {
    const Bytes input = test::sparse_bytes(900, 3);
    test::write_file(dir / "in", input);
    RunOptions bare;
    bare.integrity_check = false;
    ASSERT_EQ(run("in", false, bare).outcome, RunOutcome::Written);
    Bytes other = input;
    other[5] ^= 1;
    test::write_file(dir / "x.rod", with_trailer(test::read_file(dir / "in.rod"), other));
    EXPECT_THROW_MSG(run("x.rod", true), ECorruptData, "checksum mismatch");
    EXPECT_FALSE(std::filesystem::exists(dir / "x"));
}

TEST_F(TrailerRun, InputChangedAfterTheLoadIsRefused) {
    test::write_file(dir / "in", test::sparse_bytes(900, 3));
    ASSERT_EQ(load_file(e, (dir / "in").string()), LoadResult::Accepted);
    std::ofstream(dir / "in", std::ios::app) << "more";
    EXPECT_THROW_MSG(ProcessRun(e, false), EInOutError, "file changed while reading");
    EXPECT_EQ(dir.files(), std::vector<std::string>{"in"});
}

TEST_F(TrailerRun, OutputsTakeTheInputsPermissions) {
    const auto mode = [&](const char* name) {
        struct stat st {};
        ::stat((dir / name).c_str(), &st);
        return st.st_mode & 0777;
    };
    test::write_file(dir / "in", test::sparse_bytes(900, 3));
    ::chmod((dir / "in").c_str(), 0640);
    ASSERT_EQ(run("in", false).outcome, RunOutcome::Written);
    EXPECT_EQ(mode("in.rod"), 0640U);
    ::chmod((dir / "in.rod").c_str(), 0600);
    std::filesystem::remove(dir / "in");
    ASSERT_EQ(run("in.rod", true).outcome, RunOutcome::Written);
    EXPECT_EQ(mode("in"), 0600U);
}

}  // namespace
}  // namespace quorvane
