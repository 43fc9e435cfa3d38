// The chip code's bit layout and the stream picture's colours.
#include <gtest/gtest.h>

#include <random>

#include "chip/chip_code.h"
#include "engine/bit_codecs.h"
#include "tests/test_support.h"

namespace quorvane {
namespace {

using test::bits;

BitString ones_and_zeros(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    return bits(test::random_bit_text(rng, n));
}

TEST(ChipCode, LayoutForSeveralHeaderLengths) {
    struct Case {
        int32_t hl;
        int32_t sl;
        size_t fill;
    };
    const Case cases[] = {{144, 200, 455}, {599, 800, 0}, {600, 900, 0}, {160, 36274, 439}};
    for (const auto& c : cases) {
        RecordingObserver ui;
        BitString header = ones_and_zeros(static_cast<size_t>(c.hl), 1);
        BitString stream = header;
        stream.append(ones_and_zeros(static_cast<size_t>(c.sl - c.hl), 2));
        const BitString header_before = header;
        const BitString stream_before = stream;
        const ChipPictures pictures = draw_chip_bits(stream, header, BitString(), ui);
        EXPECT_TRUE(ui.messages.empty());
        EXPECT_EQ(pictures.header_data_bits, c.hl);
        EXPECT_EQ(pictures.decision_bits, c.sl - c.hl);
        // Stream: its bits, "1" up to 36274 (none for a stream that long already), then SL.
        ASSERT_EQ(stream.size(), 36290U);
        EXPECT_EQ(stream.substr(0, stream_before.size()), stream_before);
        EXPECT_EQ(stream.substr(stream_before.size(), 36274 - stream_before.size()).to_text(),
                  std::string(36274 - stream_before.size(), '1'));
        EXPECT_EQ(BitsToDecimal(stream.substr(36274, 16)), c.sl);
        // Chip: header and data, the fill, then HL in 10 bits and SL in 16.
        EXPECT_EQ(header.substr(0, header_before.size()), header_before);
        EXPECT_EQ(header.substr(header_before.size(), c.fill).to_text(), std::string(c.fill, '1'));
        ASSERT_EQ(pictures.chip.size(), 625U);
        EXPECT_EQ(pictures.chip, header.substr(0, 625));
        if (c.hl <= 599) {
            EXPECT_EQ(BitsToDecimal(pictures.chip.substr(599, 10)), c.hl);
            EXPECT_EQ(BitsToDecimal(pictures.chip.substr(609, 16)), c.sl);
        }
    }
}

TEST(ChipCode, HeaderTooLongForItsField) {
    RecordingObserver ui;
    BitString header = ones_and_zeros(1100, 3);
    BitString stream = header;
    const ChipPictures pictures = draw_chip_bits(stream, header, BitString(), ui);
    EXPECT_EQ(ui.messages, std::vector<std::string>{"Decimal value to high"});
    EXPECT_EQ(header.size(), 1100U + 16);  // no fill, no 10-bit field, then SL
    EXPECT_EQ(pictures.chip, header.substr(0, 625));
}

TEST(ChipCode, StreamColours) {
    RecordingObserver ui;
    // Header and data 0101..., then decision bits 0000 over a tablet 1100...
    BitString header = bits(std::string(72, '0') + std::string(72, '1'));
    BitString stream = header;
    stream.append(bits("0000"));
    const BitString tablet = bits("1100");
    const ChipPictures p = draw_chip_bits(stream, header, tablet, ui);
    EXPECT_EQ(p.stream[0], StreamColour::Red);     // a "0" of the header
    EXPECT_EQ(p.stream[72], StreamColour::Black);  // a "1" of the header
    // After the header: tablet "1" keeps the colour last set (red), tablet "0" turns green.
    EXPECT_EQ(p.stream[144], StreamColour::Red);
    EXPECT_EQ(p.stream[145], StreamColour::Red);
    EXPECT_EQ(p.stream[146], StreamColour::Green);
    EXPECT_EQ(p.stream[147], StreamColour::Green);
    EXPECT_EQ(p.stream[148], StreamColour::Black);  // the "1" fill
    // Chip: "0" bits white, "1" bits black.
    EXPECT_FALSE(p.chip[0]);
    EXPECT_TRUE(p.chip[72]);
}

TEST(ChipCode, TabletLengthFromItsLastPixels) {
    BitString pixels = ones_and_zeros(36274, 4);
    BitString length;
    RecordingObserver ui;
    DecimalToBits(35704, 16, length, ui);
    pixels.append(length);
    const BitString tablet = tablet_bits_from_pixels(pixels);
    EXPECT_EQ(tablet.size(), 35704U);
    EXPECT_EQ(tablet, pixels.substr(0, 35704));
}

}  // namespace
}  // namespace quorvane
