// Finding the settings a rod file restores with: real packs, hand-made streams that restore
// under many settings, garbage, the early stop and the check of a result.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <stdexcept>

#include "engine/errors.h"
#include "rodfile/rod_trailer.h"
#include "run/rod_detection.h"
#include "tests/test_support.h"

namespace quorvane {
namespace {

using test::bits;

uint32_t crc_of(const std::vector<uint8_t>& bytes) {
    return static_cast<uint32_t>(::crc32(0L, bytes.data(), static_cast<uInt>(bytes.size())));
}

std::vector<RodSettingsPair> sizes(unsigned first, unsigned last, bool lz77) {
    std::vector<RodSettingsPair> out;
    for (unsigned r = first; r <= last; ++r)
        out.push_back({r, lz77});
    return out;
}

// One pass of whole rods only, no decisions: a reverse pass moves one rod of R bits from the
// front to the end, for any R whose test bit (R - 1) is 0. So every rod size restores it, to
// the data turned by R bits.
std::vector<uint8_t> one_whole_rod(const char* data) {
    return test::rod_bytes({1, 1, bits(data), 0, 1, 2, BitString()});
}

class Detect : public testing::TestWithParam<RodSettingsPair> {};

TEST_P(Detect, FindsThePackingSettings) {
    const RodSettingsPair packed_with = GetParam();
    const std::vector<uint8_t> input = test::sparse_bytes(700, packed_with.rod_size);
    const std::vector<uint8_t> rod = test::pack_bytes(input, [&](SettingTexts& s) {
        s.set(Setting::RodSize, std::to_string(packed_with.rod_size));
        s.set(Setting::Lz77, packed_with.lz77 ? "Z" : "");
    });
    ASSERT_FALSE(rod.empty());
    const DetectionReport report = detect_rod_settings(rod);
    EXPECT_EQ(report.lz77_first, packed_with.lz77);
    EXPECT_EQ(report.tried, 254);
    EXPECT_FALSE(report.stopped_early);
    ASSERT_EQ(report.results.size(), 1U);
    const DetectedResult& result = report.results[0];
    EXPECT_EQ(result.bytes, input);
    EXPECT_EQ(result.crc32, crc_of(input));
    EXPECT_NE(std::find(result.settings.begin(), result.settings.end(), packed_with),
              result.settings.end());
}

INSTANTIATE_TEST_SUITE_P(Settings, Detect,
                         testing::Values(RodSettingsPair{2, true}, RodSettingsPair{3, false},
                                         RodSettingsPair{5, true}, RodSettingsPair{8, false},
                                         RodSettingsPair{17, true}));

TEST(Detection, EverySettingThatGivesTheOneResult) {
    const DetectionReport report = detect_rod_settings(one_whole_rod("0000000000000000"));
    EXPECT_FALSE(report.lz77_first);  // no decision part that could be deflated
    ASSERT_EQ(report.results.size(), 1U);
    EXPECT_EQ(report.results[0].bytes, (std::vector<uint8_t>{0, 0}));
    // With LZ77 on the empty decision part does not inflate.
    EXPECT_EQ(report.results[0].settings, sizes(2, 128, false));
}

TEST(Detection, DifferentResultsAndTheEarlyStop) {
    const std::vector<uint8_t> rod = one_whole_rod("0000000000000001");
    const DetectionReport all = detect_rod_settings(rod);
    // Turned by 2..15 bits: fourteen files; by 16 bits or read as one short rod: the data as
    // it is. Rod size 17 finds bit 16 set: a split rod without a decision.
    ASSERT_EQ(all.results.size(), 15U);
    EXPECT_EQ(all.results[0].bytes, (std::vector<uint8_t>{0x00, 0x04}));
    EXPECT_EQ(all.results[1].bytes, (std::vector<uint8_t>{0x00, 0x08}));
    std::vector<RodSettingsPair> unturned = sizes(16, 16, false);
    const std::vector<RodSettingsPair> longer = sizes(18, 128, false);
    unturned.insert(unturned.end(), longer.begin(), longer.end());
    EXPECT_EQ(all.results[14].settings, unturned);
    EXPECT_EQ(all.results[14].bytes, (std::vector<uint8_t>{0x00, 0x01}));

    // Stopping at the second result gives the same report whatever the threads.
    for (const unsigned threads : {1U, 2U, 4U}) {
        DetectionOptions options;
        options.threads = threads;
        options.stop_when_decided = true;
        const DetectionReport early = detect_rod_settings(rod, options);
        EXPECT_TRUE(early.stopped_early);
        EXPECT_EQ(early.tried, 2);
        ASSERT_EQ(early.results.size(), 2U) << threads;
        EXPECT_EQ(early.results[0].settings, sizes(2, 2, false));
        EXPECT_EQ(early.results[1].settings, sizes(3, 3, false));
    }
}

TEST(Detection, AResultCheckRejectsAndConfirms) {
    const std::vector<uint8_t> rod = one_whole_rod("0000000000000001");
    const std::vector<uint8_t> turned_by_5 = {0x00, 0x20};
    DetectionOptions options;
    options.stop_when_decided = true;
    options.confirm = [&](const std::vector<uint8_t>& restored) {
        return restored == turned_by_5 ? Confirmation::Confirmed : Confirmation::Rejected;
    };
    const DetectionReport report = detect_rod_settings(rod, options);
    ASSERT_EQ(report.results.size(), 1U);
    EXPECT_TRUE(report.results[0].confirmed);
    EXPECT_EQ(report.results[0].bytes, turned_by_5);
    EXPECT_EQ(report.rejected, 3);  // rod sizes 2, 3 and 4
    EXPECT_EQ(report.tried, 4);
    EXPECT_TRUE(report.stopped_early);
}

// A file's own integrity trailer does what the check above does: only the result it describes
// counts. A damaged trailer stops detection.
TEST(Detection, TheTrailerConfirmsTheResultItDescribes) {
    std::vector<uint8_t> rod = one_whole_rod("0000000000000001");
    const std::vector<uint8_t> turned_by_5 = {0x00, 0x20};
    const auto trailer = build_trailer(rod, 2, crc32_of(turned_by_5));
    rod.insert(rod.end(), trailer.begin(), trailer.end());
    DetectionOptions options;
    options.stop_when_decided = true;
    const DetectionReport report = detect_rod_settings(rod, options);
    ASSERT_EQ(report.results.size(), 1U);
    EXPECT_TRUE(report.results[0].confirmed);
    EXPECT_EQ(report.results[0].bytes, turned_by_5);
    EXPECT_EQ(report.rejected, 3);

    rod[3] ^= 0x10;  // inside the stream: its checksum no longer matches
    EXPECT_THROW_MSG(detect_rod_settings(rod), ECorruptData, "checksum mismatch");
}

TEST(Detection, GarbageRestoresUnderNoSetting) {
    std::mt19937 rng(5);
    for (const auto& garbage : {test::random_bytes(rng, 300), test::text_bytes(2000),
                                std::vector<uint8_t>(40, 0xFF), std::vector<uint8_t>{}}) {
        const DetectionReport report = detect_rod_settings(garbage);
        EXPECT_TRUE(report.results.empty());
        EXPECT_EQ(report.tried, 254);
    }
}

TEST(Detection, AFailingProgressReportStopsEveryThread) {
    DetectionOptions options;
    options.progress = [](int32_t, int32_t) { throw std::runtime_error("stop"); };
    EXPECT_THROW(detect_rod_settings(test::sparse_bytes(2000), options), std::runtime_error);
}

}  // namespace
}  // namespace quorvane
