// The centrifuge pass: hand-checked cases, and the packed kernels against the text model.
#include <gtest/gtest.h>

#include <random>

#include "engine/centrifuge_pass.h"
#include "tests/reference_model.h"
#include "tests/test_support.h"

namespace quorvane {
namespace {

using test::bits;

struct PassCase {
    unsigned rod_size;
    const char* data;
    const char* expected_data;
    int32_t low;
    int32_t high;
    const char* decisions;
};

TEST(CentrifugePass, HandCheckedStates) {
    const PassCase cases[] = {
        {2, "11010", "111", 2, 0, "00"},        // head 1, two low rods
        {3, "0110100", "111000", 1, 1, "0"},    // head moves to the end
        {4, "01101000", "0111000", 1, 1, "0"},  // no head: outputs only
        {4, "101", "101", 0, 0, ""},            // shorter than a rod: unchanged
        {2, "00000", "00000", 0, 2, ""},        // only zeros: rotated, nothing removed
        {3, "0000001", "0000010", 0, 2, ""},    // a rotation that changes the data
        {2, "", "", 0, 0, ""},
        {2, "1111", "11", 2, 0, "11"},
        {2, "1011", "11", 2, 0, "10"},  // decisions from the last rod to the first
    };
    for (KernelPath path : kernel_paths()) {
        for (const auto& c : cases) {
            BitString out;
            BitString decisions;
            const PassCounts counts = centrifuge(bits(c.data), c.rod_size, out, decisions, path);
            EXPECT_EQ(out.to_text(), c.expected_data) << c.data << " R=" << c.rod_size;
            EXPECT_EQ(counts.low, c.low) << c.data;
            EXPECT_EQ(counts.high, c.high) << c.data;
            EXPECT_EQ(decisions.to_text(), c.decisions) << c.data;
        }
    }
}

TEST(CentrifugePass, StatisticsAndDecisionBytes) {
    RecordingObserver ui;
    CycleState cycle;
    // Eight low rods whose decision bits, last rod first, read 00000101.
    cycle.DataBits = bits(
        "1010101010101010"
        "10111011");
    // Rods from the end: 11 10 11 10 10 10 10 10 10 10 10 10 -> decisions 1,0,1,0,0,...
    CentrifugePass(cycle, 2, ui);
    EXPECT_EQ(cycle.LowRods, 12);
    EXPECT_EQ(cycle.HighRods, 0);
    EXPECT_EQ(cycle.DecisionArray.to_text(), "101000000000");
    EXPECT_EQ(cycle.DecisionArray.to_bytes(), std::vector<uint8_t>{0xA0});
    EXPECT_GE(ui.pumps, 1);

    // Decision bits 00000101 in that order make the byte 5.
    cycle.DataBits = bits("1110111010101010");  // rods from the end: 10 x5, 11 10 11
    cycle.DecisionArray.clear();
    CentrifugePass(cycle, 2, ui);
    EXPECT_EQ(cycle.DecisionArray.to_bytes(), std::vector<uint8_t>{5});
}

// Runs passes of both kernels (word-parallel and rod by rod) over text beside the text model
// and stops at the first difference.
void expect_kernels_match_model(const std::string& text, unsigned r, int passes) {
    for (KernelPath path : kernel_paths()) {
        model::PassState m;
        m.rod_size = static_cast<int>(r);
        m.data = text;
        BitString data = bits(text);
        BitString decisions;
        int64_t low = 0;
        int64_t high = 0;
        for (int pass = 0; pass < passes; ++pass) {
            model::CentrifugePass(m);
            BitString out;
            const PassCounts c = centrifuge(data, r, out, decisions, path);
            data = std::move(out);
            low += c.low;
            high += c.high;
            ASSERT_EQ(data.to_text(), m.data) << "R=" << r << " L=" << text.size() << " pass "
                                              << pass << " path " << kernel_path_name(path);
            ASSERT_EQ(decisions.to_text(), model::DecisionText(m));
            ASSERT_EQ(low, m.low_rods);
            ASSERT_EQ(high, m.high_rods);
        }
    }
}

// The packed kernels (word-parallel and rod by rod) against the text model, pass after pass.
TEST(CentrifugePass, MatchesModelOnRandomData) {
    std::mt19937 rng(20261207);
    const unsigned rod_sizes[] = {2,  3,  4,  5,  7,  8,  9,   16,  17,
                                  31, 32, 33, 63, 64, 65, 100, 127, 128};
    for (unsigned r : rod_sizes) {
        std::vector<size_t> lengths = {0, 1, r - 1, r, r + 1, 2 * r, 2000};
        for (size_t residue = 0; residue < 8 * r && lengths.size() < 60; residue += 1) {
            lengths.push_back(8 * r * 3 + residue);  // every residue mod r and mod 8
        }
        for (int i = 0; i < 12; ++i)
            lengths.push_back(rng() % 2001);
        for (size_t length : lengths) {
            const double ones = (length % 3 == 0) ? 0.5 : (length % 3 == 1 ? 0.2 : 0.85);
            const std::string text = test::random_bit_text(rng, length, ones);
            expect_kernels_match_model(text, r, 4);
            if (HasFatalFailure()) return;
        }
    }
}

// Zero-heavy data, where whole stretches of high rods are passed over in one step.
TEST(CentrifugePass, MatchesModelOnZeroHeavyData) {
    std::mt19937 rng(31);
    const unsigned rod_sizes[] = {2, 3, 4, 5, 6, 7, 8, 9, 16, 17, 31, 32, 33, 63, 64, 65, 127, 128};
    for (unsigned r : rod_sizes) {
        for (int round = 0; round < 24; ++round) {
            const size_t length = round < 3 ? 64 * (40 + round) - 1 : rng() % 5000;
            std::string text = test::zero_heavy_bit_text(rng, length);
            if (round % 6 == 5 && length > 0) {
                // The largest input's shape: one bit set, at the start or at the end.
                text.assign(length, '0');
                text[round % 12 == 5 ? 0 : length - 1] = '1';
            }
            expect_kernels_match_model(text, r, 3);
            if (HasFatalFailure()) return;
        }
    }
}

// Whole 64-bit stretches of zeros among random ones: a block of stretches may end early at a zero
// one, and a lone stretch may stand between zeros.
TEST(CentrifugePass, MatchesModelOnZeroWordMix) {
    std::mt19937 rng(64);
    const unsigned rod_sizes[] = {2, 3, 4, 5, 8, 13, 16, 33, 64, 100, 128};
    for (unsigned r : rod_sizes) {
        for (int round = 0; round < 6; ++round) {
            std::string text;
            for (int word = 0; word < 48; ++word) {
                const bool zero = rng() % 3 == 0;
                text += zero ? std::string(64, '0') : test::random_bit_text(rng, 64, 0.5);
            }
            text.resize(text.size() - static_cast<size_t>(round) * 7);  // moves the head
            expect_kernels_match_model(text, r, 3);
            if (HasFatalFailure()) return;
        }
    }
}

}  // namespace
}  // namespace quorvane
