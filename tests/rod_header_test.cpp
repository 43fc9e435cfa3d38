// The rod stream's header: a hand-built header byte for byte, round trips, short streams.
#include <gtest/gtest.h>

#include <random>

#include "engine/bit_codecs.h"
#include "rodfile/rod_header.h"
#include "tests/test_support.h"

namespace quorvane {
namespace {

using test::bits;

class RodHeader : public ::testing::Test {
  protected:
    RecordingObserver ui;
    test::CycleFields cycle;
    RodStream built;  // the last stream CreateFileHeader built
    RoundState parsed;

    void set_cycle(int32_t cycle_count, int32_t passes, const BitString& data, int32_t low,
                   int32_t high, int32_t source_bytes, const BitString& decision_stream) {
        cycle = {cycle_count, passes, data, low, high, source_bytes, decision_stream};
    }
    // CreateFileHeader over the cycle; the stream built is kept only when it succeeds.
    bool create() {
        std::optional<RodStream> stream = test::create_header(cycle, ui);
        if (stream) built = std::move(*stream);
        return stream.has_value();
    }
    void read(const BitString& stream, int32_t size, int32_t bits_in = 0, bool lz77 = false) {
        ReadInFileHeader(parsed, stream, size, bits_in, lz77, ui);
    }
    void read_back(bool lz77 = false) {
        read(built.StreamBits, static_cast<int32_t>(built.StreamBits.size() / 8), 0, lz77);
    }
};

TEST_F(RodHeader, LayoutConstants) {
    EXPECT_EQ(kHeaderBits, 140);
    const int32_t positions[] = {1, 16, 32, 35, 62, 90, 117};
    for (size_t i = 0; i < 7; ++i)
        EXPECT_EQ(header_field_position(i), positions[i]);
    // 140 mod 8 = 4: the pad for each data length mod 8.
    const int32_t pads[] = {4, 3, 2, 1, 0, 7, 6, 5};
    for (int32_t n = 0; n < 8; ++n)
        EXPECT_EQ(pad_bits(n), pads[n]) << n;
}

TEST_F(RodHeader, HandBuiltStreamByteForByte) {
    set_cycle(1, 3, bits("1010101010101"), 5, 9, 82, bits("10110000"));
    ASSERT_TRUE(create());
    const std::string fields =
        "000000000000001"
        "0000000000000011"
        "101"
        "000000000000000000000000101"
        "0000000000000000000000000100"
        "000000000000000000000001101"
        "000000000000000001010010";
    EXPECT_EQ(built.StreamBits.substr(0, 140).to_text(), fields);
    EXPECT_EQ(built.HeaderDataBits.size(), 160U);
    EXPECT_EQ(test::hex(built.StreamBits.to_bytes()),
              "00 02 00 07 40 00 00 28 00 00 02 00 00 00 D0 00 05 2A AA 80 B0");
    EXPECT_EQ(ui.gauge_progress(Gauge::ProcessGauge), 21);
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(RodHeader, RoundTripIncludingNegativeBalance) {
    std::mt19937 rng(8);
    struct Case {
        int32_t low;
        int32_t high;
    };
    const Case cases[] = {
        {5, 9}, {9, 5}, {1, 0}, {70000, 10}, {(1 << 27) - 1, 0}, {3, (1 << 27) + 2}};
    for (const auto& c : cases) {
        for (size_t length : {0, 3, 4, 5, 8, 13, 1001}) {
            const BitString data = bits(test::random_bit_text(rng, length));
            const BitString decisions = bits(test::random_bit_text(rng, 24));
            set_cycle(32767, 65535, data, c.low, c.high, (1 << 24) - 1, decisions);
            ASSERT_TRUE(create()) << c.low << " " << c.high;
            EXPECT_EQ(built.StreamBits.size() % 8, 0U);
            read_back();
            EXPECT_EQ(parsed.CycleCount, 32767);
            EXPECT_EQ(parsed.PassDepth, 65535);
            EXPECT_EQ(parsed.TrailingBitCount, static_cast<int32_t>(length % 8));
            EXPECT_EQ(parsed.LowRods, c.low);
            EXPECT_EQ(parsed.HighRods, c.high);
            EXPECT_EQ(parsed.DataBitCount, static_cast<int32_t>(length));
            EXPECT_EQ(parsed.OriginalSize, (1 << 24) - 1);
            const size_t kept = length - length % 8;
            EXPECT_EQ(parsed.DataBits, data.substr(0, kept));
            EXPECT_EQ(parsed.TrailingBits.to_text(), data.substr(kept, length % 8).to_text());
            EXPECT_EQ(parsed.TrailingPending, length % 8 != 0);
            EXPECT_EQ(parsed.DecisionBits, decisions.substr(0, std::min<size_t>(24, c.low)));
        }
    }
}

TEST_F(RodHeader, FieldsThatDoNotFitBuildNoStream) {
    struct Case {
        int32_t cycle, passes, low, high, source;
    };
    const Case cases[] = {
        {32768, 1, 1, 1, 82},            // cycle beyond 15 bits
        {1, 65536, 1, 1, 82},            // passes beyond 16 bits
        {1, 1, 1 << 27, (1 << 27), 82},  // low rods beyond 27 bits
        {1, 1, 1, (1 << 27) + 1, 82},    // balance 2^27: beyond the signed 28 bits
        {1, 1, (1 << 27) - 1, 0, 82},    // ... but -2^27 + 1 fits
        {1, 1, 1, 1, 1 << 24},           // source size beyond 24 bits
    };
    for (const auto& c : cases) {
        built.StreamBits = bits("1111");
        built.HeaderDataBits = bits("11");
        set_cycle(c.cycle, c.passes, bits("0101"), c.low, c.high, c.source, bits("00000000"));
        const bool fits = c.low == (1 << 27) - 1;
        EXPECT_EQ(create(), fits);
        if (!fits) {
            EXPECT_EQ(built.StreamBits.to_text(), "1111");
            EXPECT_EQ(built.HeaderDataBits.to_text(), "11");
        }
    }
    EXPECT_TRUE(ui.messages.empty());  // never the "Decimal value to high" box
}

TEST_F(RodHeader, ShortStreamsReadAsZerosAndEmptyParts) {
    // A 10-byte file: the header decodes from its 80 bits only.
    std::vector<uint8_t> bytes = {0x00, 0x02, 0x00, 0x07, 0x40, 0x00, 0x00, 0x28, 0x00, 0x00};
    const BitString ten_bytes = BitString::from_bytes(bytes);
    read(ten_bytes, 10);
    EXPECT_EQ(parsed.CycleCount, 1);
    EXPECT_EQ(parsed.PassDepth, 3);
    EXPECT_EQ(parsed.TrailingBitCount, 5);
    EXPECT_EQ(parsed.LowRods, 5);
    // Balance: 19 of its 28 bits are present, read as a shorter number.
    EXPECT_EQ(parsed.HighRods, BitsToDecimal(ten_bytes.substr(61, 19)) + 5);
    EXPECT_EQ(parsed.DataBitCount, 0);
    EXPECT_EQ(parsed.OriginalSize, 0);
    EXPECT_TRUE(parsed.DataBits.empty());
    EXPECT_TRUE(parsed.DecisionBits.empty());

    // Empty stream, and a stream cut inside its data.
    read(BitString(), 0);
    EXPECT_EQ(parsed.CycleCount, 0);
    EXPECT_TRUE(parsed.DataBits.empty());

    set_cycle(1, 3, bits(std::string(100, '1')), 5, 9, 82, bits("10110000"));
    ASSERT_TRUE(create());
    built.StreamBits.truncate(200);
    read(built.StreamBits, 25);
    EXPECT_EQ(parsed.DataBitCount, 100);
    EXPECT_EQ(parsed.DataBits.size() + parsed.TrailingBits.size(), 60U);
    EXPECT_TRUE(parsed.DecisionBits.empty());
}

TEST_F(RodHeader, StatisticsAfterReading) {
    set_cycle(3, 7, bits("1010101010101"), 5, 9, 82, bits("10110000"));
    ASSERT_TRUE(create());
    read(built.StreamBits, 21, 168);
    EXPECT_EQ(ui.label(Label::InputLabel), "Bits Input   : 168");
    EXPECT_EQ(ui.label(Label::OutputLabel), "Bits Output  : 13");
    EXPECT_EQ(ui.label(Label::LoopCountLabel), "Vexion Depth : 3 | 7");
    EXPECT_EQ(ui.label(Label::StreamLabel), "Vexion Data  : 21 bytes");
    EXPECT_EQ(ui.label(Label::DecisionsLabel), "5");
    EXPECT_EQ(ui.label(Label::Label_9), "9");
    EXPECT_EQ(ui.gauge_max(Gauge::ProcessGauge), 82);
    EXPECT_EQ(ui.gauge_progress(Gauge::ProcessGauge), 21);
    EXPECT_EQ(ui.gauge_max(Gauge::LoopProgressBar), 7);
    EXPECT_EQ(ui.gauge_max(Gauge::CentriGauge2), 5);
}

}  // namespace
}  // namespace quorvane
