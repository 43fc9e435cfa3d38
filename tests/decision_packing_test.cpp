// Closing, packing and unpacking a cycle's decisions.
#include <gtest/gtest.h>

#include <random>

#include "rodfile/decision_packing.h"
#include "tests/test_support.h"
#include "zstream/zlib_buffer.h"

namespace quorvane {
namespace {

using test::bits;

class DecisionPacking : public ::testing::Test {
  protected:
    SettingTexts settings;
    RecordingObserver ui;
    BitString DecisionArray;
    bool DecisionOverflow = false;

    BitString pack(bool lz77) {
        return PackDecisionStream(DecisionArray, DecisionOverflow, lz77, ui);
    }
    BitString pack() { return pack(settings.lz77_on()); }
    BitString unpack(const BitString& tail, int32_t count, bool lz77) {
        return UnpackDecisionStream(tail, count, lz77);
    }
    BitString unpack(const BitString& tail, int32_t count) {
        return unpack(tail, count, settings.lz77_on());
    }
    // Whole decision bytes stored so far.
    int32_t decision_count() const { return static_cast<int32_t>(DecisionArray.size() / 8); }
};

TEST_F(DecisionPacking, ClosingFillsTheLastByte) {
    struct Case {
        const char* decisions;
        const char* raw_stream;
    };
    const Case cases[] = {
        {"1", "10000000"},                  // LowRods 1
        {"10110011", "10110011"},           // LowRods 8: no fill bits
        {"101100111", "1011001110000000"},  // LowRods 9: two bytes
        {"10110", "10110000"},
    };
    settings.set(Setting::Lz77, "");
    for (const auto& c : cases) {
        DecisionArray = bits(c.decisions);
        DecisionOverflow = false;
        const BitString stream = pack();
        EXPECT_EQ(stream.to_text(), c.raw_stream);
        EXPECT_EQ(decision_count() - 1, static_cast<int32_t>(stream.size() / 8) - 1);
        EXPECT_FALSE(DecisionOverflow);
        EXPECT_EQ(ui.gauge_max(Gauge::CentriGauge1), static_cast<int64_t>(stream.size() / 8));
    }
}

TEST_F(DecisionPacking, Lz77DeflatesEvenASingleByte) {
    DecisionArray = bits("1");
    const BitString stream = pack();
    const std::vector<uint8_t> expected =
        DeflateBuffer(std::vector<uint8_t>{0x80}.data(), 1, ZCompressionLevel::Default);
    EXPECT_GT(expected.size(), 1U);  // longer than the byte, and used all the same
    EXPECT_EQ(stream.to_bytes(), expected);
    EXPECT_EQ(unpack(stream, 1).to_text(), "1");
}

TEST_F(DecisionPacking, RoundTripsUnderBothSettings) {
    std::mt19937 rng(5);
    for (const char* lz77 : {"Z", ""}) {
        settings.set(Setting::Lz77, lz77);
        for (size_t n : {1, 7, 8, 9, 1000, 65537}) {
            const std::string text = test::random_bit_text(rng, n, 0.3);
            DecisionArray = bits(text);
            const BitString stream = pack();
            EXPECT_EQ(stream.size() % 8, 0U);
            EXPECT_EQ(unpack(stream, static_cast<int32_t>(n)).to_text(), text);
            // Asking for more gives what there is: the bits and the fill of the last byte.
            EXPECT_EQ(unpack(stream, static_cast<int32_t>(n + 20)).to_text(),
                      text + std::string((8 - n % 8) % 8, '0'));
        }
    }
}

// A run packs and unpacks every cycle's decisions with one zlib state: the streams and the
// decisions are those of a fresh state, also after a decision part that failed to inflate.
TEST_F(DecisionPacking, OneZlibStateForARun) {
    std::mt19937 rng(6);
    ZlibCoders zlib;
    for (size_t n : {9000, 1, 64, 70000, 333, 8}) {
        const std::string text = test::random_bit_text(rng, n, n % 2 == 0 ? 0.1 : 0.5);
        DecisionArray = bits(text);
        const BitString fresh = pack(true);
        DecisionArray = bits(text);
        const BitString reused =
            PackDecisionStream(DecisionArray, DecisionOverflow, true, ui, zlib);
        ASSERT_EQ(reused, fresh) << n;
        EXPECT_THROW_MSG(UnpackDecisionStream(bits("1010101000000000"), 9, true, zlib),
                         EZDecompressionError, "data error");
        EXPECT_EQ(UnpackDecisionStream(reused, static_cast<int32_t>(n), true, zlib).to_text(),
                  text);
    }
}

// Random bytes barely compress, so their deflated size can be steered to an exact value.
std::vector<uint8_t> bytes_deflating_to(size_t target) {
    for (size_t n = target - 200; n <= target; ++n) {
        std::mt19937 rng(static_cast<uint32_t>(n));
        std::vector<uint8_t> bytes = test::random_bytes(rng, n);
        if (DeflateBuffer(bytes.data(), n, ZCompressionLevel::Default).size() == target)
            return bytes;
    }
    return {};
}

TEST_F(DecisionPacking, DeflatedLimitIs32768Bytes) {
    const std::vector<uint8_t> fits = bytes_deflating_to(32768);
    const std::vector<uint8_t> too_big = bytes_deflating_to(32769);
    ASSERT_FALSE(fits.empty());
    ASSERT_FALSE(too_big.empty());

    DecisionArray = BitString::from_bytes(fits);
    EXPECT_EQ(pack().size(), 32768U * 8);
    EXPECT_FALSE(DecisionOverflow);

    DecisionArray = BitString::from_bytes(too_big);
    EXPECT_TRUE(pack().empty());
    EXPECT_TRUE(DecisionOverflow);

    // Once set in a run, every later packing still closes the array, then gives nothing.
    ui.set_gauge_progress(Gauge::CentriGauge1, 0);
    DecisionArray = bits("101");
    EXPECT_TRUE(pack().empty());
    EXPECT_EQ(DecisionArray.to_text(), "10100000");
    EXPECT_EQ(ui.gauge_progress(Gauge::CentriGauge1), 100);
}

TEST_F(DecisionPacking, UnpackingTheWrongForm) {
    const BitString raw = bits("1010101000000000");
    // A raw decision part read with LZ77 on is no zlib stream.
    EXPECT_THROW_MSG(unpack(raw, 9, true), EZDecompressionError, "data error");
    // A deflated part read with LZ77 off gives its own first bits as decisions.
    DecisionArray = bits("1111");
    const BitString deflated = pack(true);
    EXPECT_EQ(unpack(deflated, 4, false).to_text(), deflated.substr(0, 4).to_text());
    // Empty or cut short: nothing to inflate.
    EXPECT_THROW_MSG(unpack(BitString(), 4, true), EZDecompressionError, "buffer error");
    EXPECT_THROW_MSG(unpack(deflated.substr(0, deflated.size() - 16), 4, true),
                     EZDecompressionError, "buffer error");
}

TEST_F(DecisionPacking, InflatingBeyondTheLowRodsIsCorrupt) {
    DecisionArray = BitString::from_bytes(std::vector<uint8_t>(5000, 0));
    const BitString deflated = pack(true);
    EXPECT_EQ(unpack(deflated, 5000 * 8, true).size(), 5000U * 8);
    EXPECT_THROW_MSG(unpack(deflated, 100, true), EZDecompressionError, "data error");
}

}  // namespace
}  // namespace quorvane
