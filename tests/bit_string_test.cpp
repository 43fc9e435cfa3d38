// Packed bit strings against their text form: appends, windows, reversal, truncation, bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "engine/bit_string.h"
#include "tests/test_support.h"

namespace quorvane {
namespace {

using test::bits;

TEST(BitString, TextAndBytesRoundTrip) {
    for (size_t n : {0, 1, 7, 8, 63, 64, 65, 127, 128, 129, 1000}) {
        std::mt19937 rng(static_cast<uint32_t>(n));
        const std::string text = test::random_bit_text(rng, n);
        const BitString b = bits(text);
        EXPECT_EQ(b.size(), n);
        EXPECT_EQ(b.to_text(), text);
    }
    const BitString b = BitString::from_bytes({0xA5, 0x00, 0xFF});
    EXPECT_EQ(b.to_text(), "101001010000000011111111");
    EXPECT_EQ(b.to_bytes(), (std::vector<uint8_t>{0xA5, 0x00, 0xFF}));
    // Only whole bytes come out.
    EXPECT_EQ(bits("0100000101").to_bytes(), (std::vector<uint8_t>{0x41}));
    EXPECT_THROW(bits("01a"), std::invalid_argument);
}

TEST(BitString, AppendsMatchTextConcatenation) {
    std::mt19937 rng(7);
    for (int round = 0; round < 300; ++round) {
        const std::string a = test::random_bit_text(rng, rng() % 200);
        const std::string b = test::random_bit_text(rng, rng() % 200);
        const size_t pos = b.empty() ? 0 : rng() % b.size();
        const size_t count = b.size() - pos == 0 ? 0 : rng() % (b.size() - pos + 1);

        BitString x = bits(a);
        x.append_range(bits(b), pos, count);
        EXPECT_EQ(x.to_text(), a + b.substr(pos, count));

        BitString y = bits(a);
        y.append_reversed(bits(b));
        EXPECT_EQ(y.to_text(), a + std::string(b.rbegin(), b.rend()));

        BitString z = bits(a);
        z.append_repeated(round % 2 == 0, count);
        EXPECT_EQ(z.to_text(), a + std::string(count, round % 2 == 0 ? '1' : '0'));

        BitString t = bits(a + b);
        t.truncate(a.size());
        EXPECT_EQ(t, bits(a));  // equality also needs the cleared tail bits
    }
}

// Long strings take the word-at-a-time paths: joined words and stretches of zero words.
TEST(BitString, LongAppendsAndSearchesOverZeroStretches) {
    std::mt19937 rng(12);
    for (int round = 0; round < 200; ++round) {
        const std::string a = test::random_bit_text(rng, rng() % 130);
        const std::string b = test::zero_heavy_bit_text(rng, rng() % 4000);
        const size_t pos = b.empty() ? 0 : rng() % b.size();
        const size_t count = rng() % (b.size() - pos + 1);
        BitString x = bits(a);
        x.append_range(bits(b), pos, count);
        ASSERT_EQ(x.to_text(), a + b.substr(pos, count));
        // Reversed, eight words a step where the processor reverses vectors.
        const std::string part = b.substr(pos, count);
        BitString r = bits(a);
        r.append_reversed(bits(b), pos, count);
        ASSERT_EQ(r.to_text(), a + std::string(part.rbegin(), part.rend()));

        const BitString y = bits(b);
        for (size_t from : {size_t{0}, pos, pos + count, b.size(), b.size() + 5}) {
            const size_t one = b.find('1', from);
            EXPECT_EQ(y.next_one(from), one == std::string::npos ? b.size() : one) << from;
        }
    }
    // Zero words before a set bit, across every block boundary the search steps over.
    for (size_t zeros = 0; zeros < 70; ++zeros) {
        for (size_t bit : {0, 1, 63}) {
            std::string text(64 * zeros + 64, '0');
            text[64 * zeros + bit] = '1';
            EXPECT_EQ(bits(text).next_one(0), 64 * zeros + bit);
            EXPECT_EQ(bits(text).next_one(64 * zeros + bit + 1), text.size());
        }
    }
}

// The kernels' writer against text appends: every width of put, zero runs and copies across
// every alignment, starting from strings that end anywhere in a word.
TEST(BitWriter, MatchesTextAppends) {
    std::mt19937 rng(21);
    const std::string source = test::random_bit_text(rng, 3000);
    const BitString src = bits(source);
    for (int round = 0; round < 300; ++round) {
        std::string text = test::random_bit_text(rng, rng() % 150);
        BitString out = bits(text);
        const size_t room = 5000;
        BitWriter writer(out, room);
        while (text.size() < room - 500) {
            const uint32_t op = rng() % 3;
            if (op == 0) {
                const unsigned count = rng() % 65;
                const uint64_t value = (uint64_t{rng()} << 32) | rng();
                writer.put(value, count);
                for (unsigned i = count; i-- > 0;)
                    text += ((value >> i) & 1) != 0 ? '1' : '0';
            } else if (op == 1) {
                const size_t count = rng() % (round % 2 == 0 ? 70 : 400);
                writer.put_zeros(count);
                text.append(count, '0');
            } else {
                const size_t pos = rng() % source.size();
                const size_t count = rng() % std::min<size_t>(source.size() - pos + 1, 450);
                writer.copy(src, pos, count);
                text += source.substr(pos, count);
            }
            ASSERT_EQ(writer.size(), text.size());
        }
        writer.finish();
        ASSERT_EQ(out.to_text(), text) << round;
        ASSERT_EQ(out, bits(text));  // also the zero bits past the end
    }
}

TEST(BitString, WindowReadsZerosPastTheEnd) {
    const BitString b = bits("1011");
    EXPECT_EQ(b.window(0), uint64_t{0xB} << 60);
    EXPECT_EQ(b.window(3), uint64_t{1} << 63);
    EXPECT_EQ(b.window(4), 0U);
    EXPECT_EQ(b.window(1000), 0U);
    EXPECT_EQ(b.extract(1, 3), 3U);
    EXPECT_EQ(b.extract(0, 0), 0U);
}

TEST(BitString, AppendToItself) {
    BitString b = bits("10110");
    b.append(b);
    EXPECT_EQ(b.to_text(), "1011010110");
    b.append_reversed(b);
    EXPECT_EQ(b.to_text(), "10110101100110101101");
}

}  // namespace
}  // namespace quorvane
