// A rod file's outer header read without restoring: hand-made headers, bad lengths.
#include <gtest/gtest.h>

#include "engine/errors.h"
#include "rodfile/rod_info.h"
#include "rodfile/rod_trailer.h"
#include "tests/test_support.h"
#include "zstream/zlib_buffer.h"

namespace quorvane {
namespace {

using test::bits;

const BitString kData = bits("1010101010101");  // 13 bits: 140 + 13 + 7 pad = 20 bytes
const BitString kRawDecisions = bits("10110000");

BitString deflated_decisions() {
    const uint8_t bytes[] = {0xB0, 0x00, 0x5A};
    return BitString::from_bytes(DeflateBuffer(bytes, sizeof bytes, ZCompressionLevel::Default));
}

TEST(RodInfo, FieldsSizesAndTheLikelyLz77Setting) {
    struct Case {
        const char* name;
        test::CycleFields fields;
        int32_t balance;
        bool like_zlib;
    };
    const Case cases[] = {
        {"positive balance", {1, 3, kData, 5, 9, 82, kRawDecisions}, 4, false},
        {"negative balance", {3, 7, kData, 5, 2, 4000, kRawDecisions}, -3, false},
        {"deflated decisions", {2, 60000, kData, 5, 5, 32767, deflated_decisions()}, 0, true},
        {"no low rods, no decision part", {1, 1, kData, 0, 12, 2, BitString()}, 12, false},
    };
    for (const Case& c : cases) {
        const std::vector<uint8_t> file = test::rod_bytes(c.fields);
        const RodFileInfo info = describe_rod_file(file);
        EXPECT_EQ(info.header.CycleCount, c.fields.cycle) << c.name;
        EXPECT_EQ(info.header.PassDepth, c.fields.passes) << c.name;
        EXPECT_EQ(info.header.TrailingBitCount, 5) << c.name;
        EXPECT_EQ(info.header.LowRods, c.fields.low) << c.name;
        EXPECT_EQ(info.header.RodBalance, c.balance) << c.name;
        EXPECT_EQ(info.HighRods, c.fields.high) << c.name;
        EXPECT_EQ(info.header.DataBitCount, 13) << c.name;
        EXPECT_EQ(info.header.SourceByteCount, c.fields.source_bytes) << c.name;
        EXPECT_EQ(info.file_bytes, static_cast<int64_t>(file.size())) << c.name;
        EXPECT_EQ(info.header_data_bytes, 20) << c.name;
        EXPECT_EQ(info.decision_bytes, static_cast<int64_t>(c.fields.decision_stream.size() / 8))
            << c.name;
        EXPECT_EQ(info.decisions_start_like_zlib, c.like_zlib) << c.name;
        EXPECT_EQ(decisions_start_like_zlib(file), c.like_zlib) << c.name;
    }
}

// A trailer is shown as a section of its own and is not counted in the stream's parts.
TEST(RodInfo, TheIntegrityTrailer) {
    std::vector<uint8_t> file = test::rod_bytes({1, 3, kData, 5, 9, 82, kRawDecisions});
    const size_t stream_bytes = file.size();
    const auto trailer = build_trailer(file, 82, 0x12345678);
    file.insert(file.end(), trailer.begin(), trailer.end());
    for (const bool damaged : {false, true}) {
        if (damaged) file[2] ^= 1;
        const RodFileInfo info = describe_rod_file(file);
        EXPECT_EQ(info.stream_bytes, static_cast<int64_t>(stream_bytes));
        EXPECT_EQ(info.decision_bytes, 1);
        ASSERT_EQ(info.sections.size(), 1U);
        const RodInfoSection& section = info.sections[0];
        EXPECT_EQ(section.name, "integrity trailer");
        ASSERT_EQ(section.fields.size(), 5U);
        EXPECT_EQ(std::get<std::string>(section.fields[0].value), damaged ? "damaged" : "valid");
        EXPECT_EQ(std::get<int64_t>(section.fields[2].value), 82);
        EXPECT_EQ(std::get<std::string>(section.fields[3].value), "12345678");
    }
}

TEST(RodInfo, FilesWhoseFieldsCannotDescribeTheirLength) {
    const std::vector<uint8_t> whole = test::rod_bytes({1, 3, kData, 5, 9, 82, kRawDecisions});
    const auto first = [&](size_t n) {
        return std::vector<uint8_t>(whole.begin(), whole.begin() + n);
    };
    EXPECT_THROW_MSG(describe_rod_file(first(0)), ECorruptData,
                     "too short for a rod file: 0 bytes, the header alone takes 18 bytes");
    EXPECT_THROW_MSG(describe_rod_file(first(17)), ECorruptData,
                     "too short for a rod file: 17 bytes, the header alone takes 18 bytes");
    EXPECT_THROW_MSG(describe_rod_file(first(19)), ECorruptData,
                     "the header describes 13 data bits, 20 bytes with the header, but the file "
                     "has 19 bytes");
    EXPECT_THROW_MSG(describe_rod_file(first(20)), ECorruptData,
                     "the header counts 5 decision bits, but the file ends before its decision "
                     "part");
    EXPECT_FALSE(decisions_start_like_zlib(first(10)));
}

}  // namespace
}  // namespace quorvane
