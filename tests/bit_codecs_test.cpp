// The five shared operations on bit strings, on hand-checked cases.
#include <gtest/gtest.h>

#include "engine/bit_codecs.h"
#include "engine/errors.h"
#include "tests/test_support.h"

namespace quorvane {
namespace {

using test::bits;

struct CopyCase {
    const char* source;
    int64_t start;
    int64_t count;
    const char* expected;
};

TEST(CopyBits, ClippingRule) {
    const CopyCase cases[] = {
        {"10110", 0, 3, "101"},   {"10110", -1, 3, "101"}, {"10110", 4, 9, "10"},
        {"10110", 6, 1, ""},      {"10110", 1, -1, ""},    {"", 1, 5, ""},
        {"10110", -3, 4, "1011"}, {"10110", 2, 0, ""},     {"10110", 5, 1, "0"},
        {"10110", 1, 5, "10110"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CopyBits(bits(c.source), c.start, c.count).to_text(), c.expected)
            << c.source << " from " << c.start << " for " << c.count;
    }
}

TEST(DecimalToBits, EncodesAndRefuses) {
    struct Case {
        int32_t value;
        int32_t width;
        const char* expected;  // nullptr: refused
    };
    const Case cases[] = {
        {5, 3, "101"},
        {0, 3, "000"},
        {7, 3, "111"},
        {8, 3, nullptr},
        {-1, 3, "000"},
        {0, 0, ""},
        {1, 0, nullptr},
        {-5, 0, ""},
        {268435455, 28, "1111111111111111111111111111"},
        {82, 24, "000000000000000001010010"},
    };
    for (const auto& c : cases) {
        RecordingObserver ui;
        BitString dest = bits("10101010101");  // another length, to see it kept on refusal
        const bool accepted = DecimalToBits(c.value, c.width, dest, ui);
        if (c.expected == nullptr) {
            EXPECT_FALSE(accepted);
            EXPECT_EQ(dest.to_text(), "10101010101");
            EXPECT_EQ(ui.messages, std::vector<std::string>{"Decimal value to high"});
        } else {
            EXPECT_TRUE(accepted);
            EXPECT_EQ(dest.to_text(), c.expected) << c.value << " in " << c.width;
            EXPECT_TRUE(ui.messages.empty());
        }
    }
    RecordingObserver ui;
    BitString dest;
    EXPECT_THROW(DecimalToBits(1, 31, dest, ui), EInvalidOp);
}

TEST(BitsToDecimal, DecodesWithoutPadding) {
    EXPECT_EQ(BitsToDecimal(BitString()), 0);
    EXPECT_EQ(BitsToDecimal(bits("00000101")), 5);
    EXPECT_EQ(BitsToDecimal(bits("101")), 5);
    EXPECT_EQ(BitsToDecimal(bits(std::string(28, '1'))), 268435455);
    EXPECT_EQ(BitsToDecimal(bits(std::string(31, '1'))), 2147483647);
    EXPECT_THROW_MSG(BitsToDecimal(bits(std::string(32, '0'))), EInvalidOp,
                     "Invalid floating point operation");
}

TEST(ByteToBits, MostSignificantFirst) {
    const std::pair<uint8_t, const char*> cases[] = {
        {0x00, "00000000"}, {0xFF, "11111111"}, {0xA5, "10100101"}, {65, "01000001"}};
    for (const auto& [byte, expected] : cases) {
        BitString target = bits("1");
        ByteToBits(byte, target);
        EXPECT_EQ(target.to_text(), std::string("1") + expected);
    }
}

TEST(BitsToBuffer, WholeGroupsOnly) {
    std::vector<uint8_t> buffer(4, 0xEE);
    EXPECT_EQ(BitsToBuffer(bits("0100000101000010"), buffer), 2);
    EXPECT_EQ(buffer[0], 65);
    EXPECT_EQ(buffer[1], 66);
    EXPECT_EQ(buffer[2], 0xEE);

    EXPECT_EQ(BitsToBuffer(bits("01000001010000101111"), buffer), 2);  // 20 bits: last 4 ignored
    EXPECT_EQ(buffer[1], 66);
    EXPECT_EQ(buffer[2], 0xEE);

    // A short first group is still converted into byte 0, but not counted.
    EXPECT_EQ(BitsToBuffer(bits("0000101"), buffer), 0);
    EXPECT_EQ(buffer[0], 5);

    std::vector<uint8_t> empty;
    EXPECT_EQ(BitsToBuffer(BitString(), empty), 0);
    EXPECT_EQ(empty.size(), 1U);  // grows to hold byte 0
}

}  // namespace
}  // namespace quorvane
