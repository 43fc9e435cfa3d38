// Cycle control: the stop test, the target test, best-stream tracking and the cycle's outcomes.
#include <gtest/gtest.h>

#include <random>

#include "engine/centrifuge_cycle.h"
#include "engine/errors.h"
#include "engine/restoration.h"
#include "rodfile/rod_header.h"
#include "tests/test_support.h"

namespace quorvane {
namespace {

TEST(CycleArithmetic, DepthThreshold) {
    const int64_t cases[][3] = {{1, 800, 8}, {60, 800, 480}, {3, 656, 20},     {1, 656, 7},
                                {50, 8, 4},  {1, 0, 0},      {1, 262136, 2621}};
    for (const auto& c : cases)
        EXPECT_EQ(DepthThreshold(c[0], c[1]), c[2]) << c[0] << "% of " << c[1];
}

TEST(CycleArithmetic, TargetReached) {
    EXPECT_TRUE(TargetReached(50, 1000, 500));
    EXPECT_FALSE(TargetReached(50, 1000, 501));
    EXPECT_TRUE(TargetReached(100, 4321, 4321));
    EXPECT_FALSE(TargetReached(1, 32767, 328));
    EXPECT_TRUE(TargetReached(1, 32767, 327));
    EXPECT_THROW(TargetReached(100, 2147483647, 1), EIntOverflow);
}

class Cycle : public ::testing::Test {
  protected:
    test::TempDir dir;
    RunSettings settings;
    RecordingFrontEnd ui;
    Engine e{settings, ui};

    // Prepares a packing run's state for the given input, as the run does before a cycle.
    void start(const std::vector<uint8_t>& input, unsigned rod_size = 2) {
        e.st.RodSize = static_cast<uint8_t>(rod_size);
        e.st.InputPath = (dir / "input").string();
        e.st.StreamBits = BitString::from_bytes(input);
        e.st.DataBits = e.st.StreamBits;
        e.st.SourceByteCount = static_cast<int32_t>(input.size());
        e.st.OriginalSize = e.st.SourceByteCount;
        e.st.CurrentSize = e.st.SourceByteCount;
        e.st.BestSize = e.st.SourceByteCount;
        e.st.CycleCount = 1;
        e.st.OutputReady = false;
        e.st.NotSuccessful = false;
        e.st.DecisionOverflow = false;
        e.st.BestStreamBits.clear();
        e.st.BestHeaderDataBits.clear();
        e.st.BestDecisionStreamBits.clear();
    }
    void next_cycle() {
        e.st.CycleCount += 1;
        e.st.DataBits = e.st.StreamBits;
    }
    bool written() const { return std::filesystem::exists(dir / "input.rod"); }

    // The stream restores, through every inner cycle, to the input.
    void expect_restores(const BitString& stream, const std::vector<uint8_t>& input) {
        RecordingFrontEnd quiet;
        Engine r(settings, quiet);
        r.st.RodSize = e.st.RodSize;
        r.st.StreamBits = stream;
        r.st.CurrentSize = static_cast<int32_t>(stream.size() / 8);
        ASSERT_TRUE(RestoreStream(r));
        EXPECT_EQ(r.st.StreamBits.to_bytes(), input);
    }
};

TEST_F(Cycle, DepthLabelCountsPasses) {
    ui.keep_history = true;
    start(test::text_bytes(400));
    settings.set(Setting::AutoStop, "");
    CentrifugeCycle(e);
    const auto texts = ui.history(Label::LoopCountLabel);
    ASSERT_GE(texts.size(), 3U);
    EXPECT_EQ(texts[0], "Vexion Depth : 1");
    EXPECT_EQ(texts[1], "Vexion Depth : 1 | 2");
    EXPECT_EQ(texts[2], "Vexion Depth : 1 | 3");

    ui.label_log.clear();
    e.st.CycleCount = 2;
    next_cycle();
    CentrifugeCycle(e);
    const auto third = ui.history(Label::LoopCountLabel);
    ASSERT_GE(third.size(), 2U);
    EXPECT_EQ(third[0], "Vexion Depth : 3 | 1");
    EXPECT_EQ(third[1], "Vexion Depth : 3 | 2");
}

TEST_F(Cycle, ZerosGiveNoLowRodsAndNoStream) {
    for (bool single : {false, true}) {
        settings.set(Setting::LoopMode,
                     single ? "Algorithm    : Single cycles" : "Algorithm    : Nonstop cycles");
        settings.set(Setting::AutoStop, "");
        start(std::vector<uint8_t>(500, 0));
        const BitString before = e.st.StreamBits;
        CentrifugeCycle(e);
        EXPECT_EQ(e.st.LowRods, 0);
        EXPECT_EQ(e.st.PassesRun, 0);  // the first pass changed nothing and was undone
        EXPECT_EQ(settings.text(Setting::AutoStop), "S");
        EXPECT_EQ(e.st.StreamBits, before);  // the input's bits are never written as a stream
        EXPECT_TRUE(e.st.NotSuccessful);
        EXPECT_TRUE(e.st.OutputReady);
        EXPECT_TRUE(e.st.CycleDone);
        EXPECT_FALSE(written());
    }
}

TEST_F(Cycle, SingleCycleWritesItsStreamWhateverTheSizes) {
    std::mt19937 rng(1);
    const auto input = test::random_bytes(rng, 300);  // the stream comes out larger
    settings.set(Setting::LoopMode, "Algorithm    : Single cycles");
    start(input);
    CentrifugeCycle(e);
    EXPECT_TRUE(e.st.OutputReady);
    EXPECT_FALSE(e.st.NotSuccessful);
    ASSERT_TRUE(written());
    EXPECT_GT(e.st.StreamBits.size() / 8, input.size());
    EXPECT_EQ(test::read_file(dir / "input.rod"), e.st.StreamBits.to_bytes());
    EXPECT_EQ(ui.label(Label::DecisionsLabel), "Ready");
    EXPECT_EQ(ui.label(Label::ModeLabel), "Vexion Mode  : Succesfull");
    expect_restores(e.st.StreamBits, input);
}

TEST_F(Cycle, TargetLevelAndCycleCapFinalise) {
    const auto input = test::sparse_bytes(2000, 7);
    settings.set(Setting::CompressionLevel, "100");
    settings.set(Setting::AutoStop, "");
    start(input);
    CentrifugeCycle(e);
    // Sparse data shrinks: a stream no larger than the file reaches a target of 100 %.
    EXPECT_LE(e.st.StreamBits.size() / 8, input.size());
    EXPECT_TRUE(e.st.OutputReady);
    EXPECT_TRUE(written());
    expect_restores(e.st.StreamBits, input);

    std::filesystem::remove(dir / "input.rod");
    std::mt19937 rng(2);
    const auto noise = test::random_bytes(rng, 400);
    settings.set(Setting::CompressionLevel, "1");
    start(noise);
    e.st.limits.max_cycles = 5;
    e.st.CycleCount = 5;
    CentrifugeCycle(e);
    EXPECT_TRUE(e.st.OutputReady);  // at the cycle cap, whatever the size
    EXPECT_TRUE(written());
}

TEST_F(Cycle, AutoStopOffKeepsEvenALargerStream) {
    std::mt19937 rng(3);
    const auto input = test::random_bytes(rng, 500);
    settings.set(Setting::AutoStop, "");
    start(input);
    CentrifugeCycle(e);
    EXPECT_FALSE(e.st.OutputReady);
    EXPECT_GT(e.st.BestSize, 500);
    EXPECT_EQ(e.st.BestSize, static_cast<int32_t>(e.st.StreamBits.size() / 8));
    EXPECT_EQ(e.st.BestStreamBits, e.st.StreamBits);
    EXPECT_EQ(e.st.BestDepthText, ui.label(Label::LoopCountLabel));
    EXPECT_EQ(ui.label(Label::DecisionsLabel), "Next pass");
    EXPECT_EQ(ui.label(Label::Label_9), "Next pass");
    EXPECT_FALSE(written());
}

TEST_F(Cycle, AutoStopWithoutGain) {
    std::mt19937 rng(4);
    const auto input = test::random_bytes(rng, 500);
    // In the first cycle nothing has been kept yet: not successful.
    start(input);
    CentrifugeCycle(e);
    EXPECT_TRUE(e.st.NotSuccessful);
    EXPECT_FALSE(written());

    // A tie with the best size is no gain: the best stream is rolled back and written.
    settings.set(Setting::AutoStop, "");
    start(input);
    CentrifugeCycle(e);
    const BitString first = e.st.StreamBits;
    const std::string first_depth = ui.label(Label::LoopCountLabel);
    ASSERT_FALSE(e.st.OutputReady);
    next_cycle();
    const BitString second_input = e.st.StreamBits;
    // Learn the size the second cycle makes, then replay it against a best of that size.
    {
        RecordingFrontEnd quiet;
        Engine probe(settings, quiet);
        probe.st.RodSize = 2;
        probe.st.StreamBits = second_input;
        probe.st.DataBits = second_input;
        probe.st.CycleCount = 2;
        probe.st.SourceByteCount = 500;
        probe.st.OriginalSize = 500;
        probe.st.BestSize = 1 << 30;
        probe.st.InputPath = (dir / "probe").string();
        CentrifugeCycle(probe);
        e.st.BestSize = static_cast<int32_t>(probe.st.StreamBits.size() / 8);
    }
    settings.set(Setting::AutoStop, "S");
    ui.keep_history = true;
    CentrifugeCycle(e);
    EXPECT_TRUE(e.st.OutputReady);
    EXPECT_FALSE(e.st.NotSuccessful);
    EXPECT_EQ(e.st.StreamBits, first);
    EXPECT_EQ(ui.label(Label::LoopCountLabel), first_depth);
    const auto words = ui.history(Label::DecisionsLabel);
    ASSERT_GE(words.size(), 2U);
    EXPECT_EQ(words[words.size() - 2], "Last pass");
    EXPECT_EQ(words.back(), "Ready");
    EXPECT_EQ(test::read_file(dir / "input.rod"), first.to_bytes());
}

TEST_F(Cycle, DecisionOverflowEndsTheRun) {
    const auto input = test::text_bytes(600);
    settings.set(Setting::AutoStop, "");
    // In the first cycle: nothing kept, not successful.
    start(input);
    e.st.DecisionOverflow = true;
    CentrifugeCycle(e);
    EXPECT_TRUE(e.st.NotSuccessful);
    EXPECT_EQ(settings.text(Setting::AutoStop), "S");
    EXPECT_FALSE(written());

    // In a later cycle: the best stream is written.
    settings.set(Setting::AutoStop, "");
    start(input);
    CentrifugeCycle(e);
    const BitString best = e.st.StreamBits;
    next_cycle();
    e.st.DecisionOverflow = true;
    CentrifugeCycle(e);
    EXPECT_FALSE(e.st.NotSuccessful);
    EXPECT_TRUE(e.st.OutputReady);
    EXPECT_EQ(test::read_file(dir / "input.rod"), best.to_bytes());
}

TEST_F(Cycle, BalanceBeyondItsFieldEndsThePasses) {
    const auto input = test::text_bytes(3000);
    settings.set(Setting::LoopMode, "Algorithm    : Single cycles");
    start(input);
    e.st.limits.max_balance = 2000;
    CentrifugeCycle(e);
    EXPECT_LE(e.st.HighRods - e.st.LowRods, 2000);
    ASSERT_TRUE(written());
    expect_restores(e.st.StreamBits, input);
}

// When the stream of the last pass does not restore, an earlier pass's stream is written; every
// written stream restores.
TEST_F(Cycle, FallsBackToAnEarlierPassThatRestores) {
    settings.set(Setting::LoopMode, "Algorithm    : Single cycles");
    std::mt19937 rng(11);
    int fell_back = 0;
    for (int round = 0; round < 60; ++round) {
        const auto input = test::random_bytes(rng, 82 + rng() % 300);
        start(input);
        CentrifugeCycle(e);
        if (!e.st.OutputReady || e.st.NotSuccessful) continue;
        Engine r(settings, ui);
        r.st.StreamBits = e.st.StreamBits;
        r.st.CurrentSize = static_cast<int32_t>(e.st.StreamBits.size() / 8);
        ReadInFileHeader(r);
        EXPECT_LE(r.st.PassDepth, e.st.PassesRun);
        EXPECT_GE(r.st.PassDepth, e.st.PassesRun - 7);
        if (r.st.PassDepth < e.st.PassesRun) ++fell_back;
        expect_restores(e.st.StreamBits, input);
    }
    EXPECT_GT(fell_back, 0);
}

}  // namespace
}  // namespace quorvane
