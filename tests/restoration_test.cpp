// Reverse passes and whole restorations: hand-checked cases, the bounds, and the kernels against
// the text model.
#include <gtest/gtest.h>

#include <random>

#include "engine/centrifuge_pass.h"
#include "engine/reverse_pass.h"
#include "rodfile/rod_header.h"
#include "run/restoration.h"
#include "tests/reference_model.h"
#include "tests/test_support.h"

namespace quorvane {
namespace {

using test::bits;

class Restoration : public ::testing::Test {
  protected:
    SettingTexts settings;
    RecordingObserver ui;
    Engine e{ui.reading(settings)};
    RoundState round;
    unsigned rod_size = 2;

    void set(unsigned rod, const char* data, const char* decisions, int32_t high_rods,
             const char* trailing = nullptr) {
        rod_size = rod;
        round = RoundState{};
        round.DataBits = bits(data);
        round.DecisionBits = bits(decisions);
        round.LowRods = static_cast<int32_t>(round.DecisionBits.size());
        round.HighRods = high_rods;
        round.TrailingPending = trailing != nullptr;
        round.TrailingBits = trailing != nullptr ? bits(trailing) : BitString();
        round.CycleCount = 1;
    }
    bool reverse_pass() { return ReversePass(round, rod_size, ui); }
};

TEST_F(Restoration, ReversePassExamples) {
    // R = 2: a whole rod, then a split rod that takes the decision bit.
    set(2, "011", "0", 1);
    ASSERT_TRUE(reverse_pass());
    EXPECT_EQ(round.DataBits.to_text(), "0110");
    EXPECT_TRUE(round.DecisionBits.empty());
    EXPECT_EQ(round.HighRods, 0);
    EXPECT_EQ(round.BitsOut, 4);
    EXPECT_EQ(ui.label(Label::MarkerLabel), "4");
    EXPECT_EQ(ui.label(Label::DecisionsLabel), "Restored");
    EXPECT_EQ(ui.label(Label::Label_9), "Restored");
    EXPECT_EQ(ui.label(Label::StreamLabel), "Vexion Data  : 0 bytes");

    // R = 3: undoes the forward example 0110100 -> 111000.
    set(3, "111000", "0", 1);
    ASSERT_TRUE(reverse_pass());
    EXPECT_EQ(round.DataBits.to_text(), "0110100");

    // One forward pass that needs two reverse passes, with trailing bits put back first.
    set(2, "00000000", "0", 7, "0000001");
    ASSERT_TRUE(reverse_pass());
    EXPECT_EQ(round.DataBits.to_text(), "000000100000000");
    EXPECT_EQ(round.HighRods, 3);
    EXPECT_EQ(round.DecisionBits.to_text(), "0");
    ASSERT_TRUE(reverse_pass());
    EXPECT_EQ(round.DataBits.to_text(), "0000000000000010");
    EXPECT_EQ(round.HighRods, 0);
    EXPECT_TRUE(round.DecisionBits.empty());

    // Empty data with pending trailing bits: one whole rod of nothing, the result the trailing
    // bits.
    set(2, "", "", 2, "101");
    ASSERT_TRUE(reverse_pass());
    EXPECT_EQ(round.DataBits.to_text(), "101");
    EXPECT_EQ(round.HighRods, 1);
}

TEST_F(Restoration, PassDepthCountsDownToZero) {
    set(2, "0000", "", 10);
    round.PassDepth = 1;
    round.header_passes = 1;
    ASSERT_TRUE(reverse_pass());
    EXPECT_EQ(round.PassDepth, 0);
    EXPECT_EQ(ui.label(Label::LoopCountLabel), "Vexion Depth : 0");
    ASSERT_TRUE(reverse_pass());
    EXPECT_EQ(round.PassDepth, 0);
    round.CycleCount = 3;
    ASSERT_TRUE(reverse_pass());
    EXPECT_EQ(ui.label(Label::LoopCountLabel), "Vexion Depth : 3 | 0");
}

TEST_F(Restoration, CorruptStreamsFail) {
    // A split rod with no decision bit left.
    set(2, "11", "", 5);
    EXPECT_FALSE(reverse_pass());
    // Whole rods running out: even a pass with nothing left to restore takes one rod.
    set(2, "0000", "", 0);
    EXPECT_FALSE(reverse_pass());
}

// The packed kernel on both paths against the text model's reverse pass from state m: where the
// model never runs out of decisions or whole rods both give the same; otherwise the kernel refuses.
void expect_kernel_matches_model(const model::ReverseState& m, const std::string& where) {
    model::ReverseState expected = m;
    model::ReversePass(expected);
    const bool model_ok = !expected.clipped && expected.high_rods >= 0;
    const auto r = static_cast<unsigned>(m.rod_size);
    for (KernelPath path : kernel_paths()) {
        int64_t d = static_cast<int64_t>(m.decisions.size());
        auto high = static_cast<int32_t>(m.high_rods);
        BitString restored;
        size_t consumed = 0;
        const bool ok =
            reverse_rods(bits(m.data), r, bits(m.decisions), d, high, restored, consumed, path);
        ASSERT_EQ(ok, model_ok) << where << " path " << kernel_path_name(path);
        if (!ok) continue;
        BitString result = bits(m.data).substr(consumed, m.data.size() - consumed);
        result.append(restored);
        ASSERT_EQ(result.to_text(), expected.data) << where << " path " << kernel_path_name(path);
        ASSERT_EQ(d, static_cast<int64_t>(expected.decisions.size())) << where;
        ASSERT_EQ(high, expected.high_rods) << where;
    }
}

std::string where(unsigned r, int round) {
    return "R=" + std::to_string(r) + " round " + std::to_string(round);
}

// The packed kernels against the text model on random states: where the model never runs out
// of decisions or whole rods, both give the same; otherwise the kernel refuses.
TEST(ReverseRods, MatchesModelOnRandomStates) {
    std::mt19937 rng(99);
    for (unsigned r : {2U, 3U, 4U, 5U, 6U, 7U, 8U, 9U, 17U, 63U, 64U, 65U, 128U}) {
        for (int round = 0; round < 400; ++round) {
            const size_t length = rng() % (round % 4 == 0 ? 40 : 1500);
            const double ones = round % 3 == 0 ? 0.5 : (round % 3 == 1 ? 0.15 : 0.8);
            model::ReverseState m;
            m.rod_size = static_cast<int>(r);
            m.data = test::random_bit_text(rng, length, ones);
            m.decisions = test::random_bit_text(rng, rng() % (length + 2));
            m.high_rods = static_cast<long>(rng() % (length / r + 3));
            ASSERT_NO_FATAL_FAILURE(expect_kernel_matches_model(m, where(r, round)));
        }
    }
}

// Zero-heavy data and long stretches, where the word scan passes over zero words in one step and
// hands the rest to the rod-by-rod loop: the decisions and whole rods may be plentiful (the pass
// ends at the data's end), run short anywhere, or be exactly those of one forward pass.
TEST(ReverseRods, MatchesModelOnZeroHeavyStates) {
    std::mt19937 rng(57);
    const unsigned rod_sizes[] = {2, 3, 4, 5, 6, 7, 8, 9, 16, 17, 31, 32, 33, 63, 64, 65, 127, 128};
    for (unsigned r : rod_sizes) {
        for (int round = 0; round < 60; ++round) {
            const size_t length = round % 10 == 0 ? r + 64 + round / 10 : rng() % 3000;
            model::ReverseState m;
            m.rod_size = static_cast<int>(r);
            m.data = round % 3 == 2 ? test::random_bit_text(rng, length)
                                    : test::zero_heavy_bit_text(rng, length);
            const size_t rods = length / (r - 1) + 2;
            if (round % 4 == 3) {
                // Exactly one forward pass's decisions and whole rods.
                BitString out;
                BitString decisions;
                const PassCounts c = centrifuge(bits(m.data), r, out, decisions);
                m.data = out.to_text();
                m.decisions = decisions.to_text();
                m.high_rods = c.high;
            } else {
                const bool plenty = round % 4 < 2;
                m.decisions = test::random_bit_text(rng, plenty ? rods : rng() % rods);
                m.high_rods = static_cast<long>(plenty ? rods : rng() % (length / r + 3));
            }
            ASSERT_NO_FATAL_FAILURE(expect_kernel_matches_model(m, where(r, round)));
        }
    }
}

// Long dense data, where the word scan takes many words at a time: the pass may end, or the
// decisions or whole rods run out, anywhere in such a stretch, and a zero word may break it.
TEST(ReverseRods, MatchesModelOnLongDenseStates) {
    std::mt19937 rng(23);
    for (unsigned r = 2; r <= 9; ++r) {
        for (int round = 0; round < 40; ++round) {
            const size_t length = 1000 + rng() % 5000;
            const double ones = round % 3 == 0 ? 0.5 : (round % 3 == 1 ? 0.2 : 0.85);
            model::ReverseState m;
            m.rod_size = static_cast<int>(r);
            m.data = test::random_bit_text(rng, length, ones);
            if (round % 5 == 4) m.data.replace(64 * (rng() % (length / 64)), 64, 64, '0');
            const size_t rods = length / (r - 1) + 2;
            if (round % 4 == 3) {
                // One forward pass's decisions and whole rods, with more data after its output:
                // the pass ends where both run out together, part way along.
                BitString out;
                BitString decisions;
                const PassCounts c =
                    centrifuge(bits(m.data.substr(0, length / 2)), r, out, decisions);
                m.data = out.to_text() + m.data.substr(length / 2);
                m.decisions = decisions.to_text();
                m.high_rods = c.high;
            } else {
                // Plenty, or running out somewhere along the data.
                const bool plenty = round % 4 == 0;
                m.decisions = test::random_bit_text(rng, plenty ? rods : rng() % rods);
                m.high_rods = static_cast<long>(plenty ? rods : rng() % (length / r + 3));
            }
            ASSERT_NO_FATAL_FAILURE(expect_kernel_matches_model(m, where(r, round)));
        }
    }
}

// Forward passes undone by reverse passes, through the word-parallel and the rod-by-rod paths.
TEST(ReverseRods, UndoesForwardPassesOfLongData) {
    std::mt19937 rng(4);
    int cases = 0;
    int undone = 0;
    for (unsigned r : {2U, 3U, 7U, 64U, 100U}) {
        for (double ones : {0.5, 0.1, 0.9}) {
            const std::string text = test::random_bit_text(rng, 20000, ones);
            BitString data = bits(text);
            BitString decisions;
            int32_t high = 0;
            BitString out;
            high += centrifuge(data, r, out, decisions).high;
            for (KernelPath path : kernel_paths()) {
                int64_t d = static_cast<int64_t>(decisions.size());
                int32_t h = high;
                BitString restored;
                size_t consumed = 0;
                ASSERT_TRUE(reverse_rods(out, r, decisions, d, h, restored, consumed, path));
                BitString back = out.substr(consumed, out.size() - consumed);
                back.append(restored);
                ++cases;
                // The pass ends once decisions and whole rods are used up; the data it gives
                // back is the original unless the head happened to look like a split rod.
                if (d == 0 && h == 0 && back.to_text() == text) ++undone;
            }
        }
    }
    EXPECT_GE(undone, cases * 3 / 4);
}

class RestoreStreamTest : public Restoration {
  protected:
    // A rod stream around data and decisions, as a cycle writes it (LZ77 off).
    BitString stream(int32_t cycle, int32_t passes, const BitString& data,
                     const BitString& decisions, int32_t low, int32_t high, int32_t source_bytes) {
        BitString whole_bytes = decisions;
        whole_bytes.append_repeated(false, (8 - decisions.size() % 8) % 8);
        const auto built =
            test::create_header({cycle, passes, data, low, high, source_bytes, whole_bytes}, ui);
        EXPECT_TRUE(built);
        return built ? built->StreamBits : BitString();
    }

    bool restore(const BitString& s) {
        e.run.StreamBits = s;
        e.run.CurrentSize = static_cast<int32_t>(s.size() / 8);
        return RestoreStream(e);
    }
};

TEST_F(RestoreStreamTest, NestedCyclesAndTheirChecks) {
    settings.set(Setting::Lz77, "");
    e.run.RodSize = 2;
    // One pass of R = 2 over 16 bits: one split rod, seven whole ones.
    const BitString original = bits("0000000000000010");
    const BitString inner = stream(1, 1, bits("000000000000001"), bits("0"), 1, 7, 2);
    ASSERT_TRUE(restore(inner));
    EXPECT_EQ(e.run.StreamBits, original);
    EXPECT_TRUE(ui.messages.empty());

    // A header claiming cycle 0 is read as cycle 1.
    BitString zero_cycle = inner;
    BitString patched;
    patched.append_bits(0, 15);
    patched.append_range(zero_cycle, 15, zero_cycle.size() - 15);
    ASSERT_TRUE(restore(patched));
    EXPECT_EQ(e.run.StreamBits, original);

    // The wrong length for the header's original size fails once, leaving nothing.
    const BitString wrong_size = stream(1, 1, bits("000000000000001"), bits("0"), 1, 7, 3);
    EXPECT_FALSE(restore(wrong_size));
    EXPECT_TRUE(e.run.StreamBits.empty());
    EXPECT_TRUE(ui.messages.empty());  // the outcome is the one report

    // Whole rods that run out (the balance says 5 where there are 7).
    EXPECT_FALSE(restore(stream(1, 1, bits("000000000000001"), bits("0"), 1, 5, 2)));
}

TEST_F(RestoreStreamTest, InnerHeadersMustCountDown) {
    settings.set(Setting::Lz77, "");
    e.run.RodSize = 2;
    // A stream whose data is "11" + inner stream bits: one pass splits the first rod only.
    const BitString inner = stream(1, 1, bits("000000000000001"), bits("0"), 1, 7, 2);
    for (int32_t inner_cycle : {1, 2}) {
        // Rebuild the inner stream with the cycle number under test.
        BitString relabelled;
        relabelled.append_bits(static_cast<uint64_t>(inner_cycle), 15);
        relabelled.append_range(inner, 15, inner.size() - 15);
        BitString out;
        BitString decisions;
        const PassCounts counts = centrifuge(relabelled, 2, out, decisions);
        const BitString outer = stream(2, 1, out, decisions, counts.low, counts.high, 2);
        ui.messages.clear();
        const bool ok = restore(outer);
        EXPECT_EQ(ok, inner_cycle == 1) << "inner cycle " << inner_cycle;
        if (ok) {
            EXPECT_EQ(e.run.StreamBits.to_text(), "0000000000000010");
        }
    }
}

TEST_F(RestoreStreamTest, GivesUpWhenPassesNeverEnd) {
    settings.set(Setting::Lz77, "");
    e.run.RodSize = 2;
    // Split rods only, no decisions used up and whole rods that never run out: each pass just
    // moves bits around. Bounded by the header's passes + 64.
    const BitString endless = stream(1, 3, bits("0101010101"), bits(""), 0, 1000, 2);
    EXPECT_FALSE(restore(endless));
}

}  // namespace
}  // namespace quorvane
