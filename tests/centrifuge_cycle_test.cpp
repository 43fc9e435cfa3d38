// Cycle control: the stop test, the target test, best-stream tracking and the cycle's outcomes.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "engine/errors.h"
#include "rodfile/rod_header.h"
#include "run/centrifuge_cycle.h"
#include "run/restoration.h"
#include "run/run_output.h"
#include "tests/test_support.h"

namespace quorvane {
namespace {

TEST(CycleArithmetic, DepthThreshold) {
    const int64_t cases[][3] = {{1, 800, 8}, {60, 800, 480}, {3, 656, 20},     {1, 656, 7},
                                {50, 8, 4},  {1, 0, 0},      {1, 262136, 2621}};
    for (const auto& c : cases)
        EXPECT_EQ(depth_threshold(c[0], c[1]), c[2]) << c[0] << "% of " << c[1];
}

TEST(CycleArithmetic, TargetReached) {
    EXPECT_TRUE(target_reached(50, 1000, 500));
    EXPECT_FALSE(target_reached(50, 1000, 501));
    EXPECT_TRUE(target_reached(100, 4321, 4321));
    EXPECT_FALSE(target_reached(1, 32767, 328));
    EXPECT_TRUE(target_reached(1, 32767, 327));
    EXPECT_THROW(target_reached(100, 2147483647, 1), EIntOverflow);
}

class Cycle : public ::testing::Test {
  protected:
    test::TempDir dir;
    SettingTexts settings;
    RecordingObserver ui;
    Engine e{ui.reading(settings)};

    CycleEnd end = CycleEnd::NextCycle;

    // Prepares a packing run's state for the given input, as the run does before a cycle.
    void start(const std::vector<uint8_t>& input, unsigned rod_size = 2) {
        e.input.InputPath = (dir / "input").string();
        e.run = RunState{};
        e.run.RodSize = static_cast<uint8_t>(rod_size);
        e.run.StreamBits = BitString::from_bytes(input);
        e.run.SourceByteCount = static_cast<int32_t>(input.size());
        e.run.OriginalSize = e.run.SourceByteCount;
        e.run.CurrentSize = e.run.SourceByteCount;
        e.run.best.BestSize = e.run.SourceByteCount;
        end = CycleEnd::NextCycle;
    }
    void next_cycle() { e.run.CycleCount += 1; }
    // One cycle; a stream it finalises is written as the run writes it, without the trailer.
    void cycle() {
        end = CentrifugeCycle(e);
        e.observer.cycle_done(e.run.last_cycle);  // as the run reports it
        if (end == CycleEnd::Finalised || end == CycleEnd::RolledBack) {
            const std::string path = (dir / "input.rod").string();
            RunResult result;
            WriteZivIduvBitsBufferToFile(
                e,
                [&path](std::span<const uint8_t> bytes, std::string&) {
                    test::write_file(path, {bytes.begin(), bytes.end()});
                    return RunOutcome::Written;
                },
                false, result);
        }
    }
    bool output_ready() const { return end != CycleEnd::NextCycle; }
    bool not_successful() const { return end == CycleEnd::NotSuccessful; }
    bool written() const { return std::filesystem::exists(dir / "input.rod"); }

    // The stream restores, through every inner cycle, to the input.
    void expect_restores(const BitString& stream, const std::vector<uint8_t>& input) {
        RecordingObserver quiet;
        Engine r(quiet.reading(settings));
        r.run.RodSize = e.run.RodSize;
        r.run.StreamBits = stream;
        r.run.CurrentSize = static_cast<int32_t>(stream.size() / 8);
        ASSERT_TRUE(RestoreStream(r));
        EXPECT_EQ(r.run.StreamBits.to_bytes(), input);
    }
};

TEST_F(Cycle, DepthLabelCountsPasses) {
    ui.keep_history = true;
    start(test::text_bytes(400));
    settings.set(Setting::AutoStop, "");
    cycle();
    const auto texts = ui.history(Label::LoopCountLabel);
    ASSERT_GE(texts.size(), 3U);
    EXPECT_EQ(texts[0], "Vexion Depth : 1");
    EXPECT_EQ(texts[1], "Vexion Depth : 1 | 2");
    EXPECT_EQ(texts[2], "Vexion Depth : 1 | 3");

    ui.label_log.clear();
    e.run.CycleCount = 2;
    next_cycle();
    cycle();
    const auto third = ui.history(Label::LoopCountLabel);
    ASSERT_GE(third.size(), 2U);
    EXPECT_EQ(third[0], "Vexion Depth : 3 | 1");
    EXPECT_EQ(third[1], "Vexion Depth : 3 | 2");
}

TEST_F(Cycle, ZerosGiveNoLowRodsAndNoStream) {
    for (bool single : {false, true}) {
        settings.set(Setting::LoopMode, std::string(single ? kSingleCycles : kNonstopCycles));
        settings.set(Setting::AutoStop, "");
        start(std::vector<uint8_t>(500, 0));
        const BitString before = e.run.StreamBits;
        cycle();
        EXPECT_EQ(e.run.cycle.LowRods, 0);
        EXPECT_EQ(e.run.passes_run, 0);  // the first pass changed nothing and was undone
        EXPECT_EQ(settings.text(Setting::AutoStop), "S");
        EXPECT_EQ(e.run.StreamBits, before);  // the input's bits are never written as a stream
        EXPECT_TRUE(not_successful());
        EXPECT_TRUE(output_ready());
        EXPECT_FALSE(written());
    }
}

TEST_F(Cycle, SingleCycleWritesItsStreamWhateverTheSizes) {
    std::mt19937 rng(1);
    const auto input = test::random_bytes(rng, 300);  // the stream comes out larger
    settings.set(Setting::LoopMode, std::string(kSingleCycles));
    start(input);
    cycle();
    EXPECT_TRUE(output_ready());
    EXPECT_FALSE(not_successful());
    ASSERT_TRUE(written());
    EXPECT_GT(e.run.StreamBits.size() / 8, input.size());
    EXPECT_EQ(test::read_file(dir / "input.rod"), e.run.StreamBits.to_bytes());
    EXPECT_EQ(ui.label(Label::DecisionsLabel), "Ready");
    EXPECT_EQ(ui.label(Label::ModeLabel), "Vexion Mode  : Succesfull");
    expect_restores(e.run.StreamBits, input);
}

TEST_F(Cycle, TargetLevelAndCycleCapFinalise) {
    const auto input = test::sparse_bytes(2000, 7);
    settings.set(Setting::CompressionLevel, "100");
    settings.set(Setting::AutoStop, "");
    start(input);
    cycle();
    // Sparse data shrinks: a stream no larger than the file reaches a target of 100 %.
    EXPECT_LE(e.run.StreamBits.size() / 8, input.size());
    EXPECT_TRUE(output_ready());
    EXPECT_TRUE(written());
    expect_restores(e.run.StreamBits, input);

    std::filesystem::remove(dir / "input.rod");
    std::mt19937 rng(2);
    const auto noise = test::random_bytes(rng, 400);
    settings.set(Setting::CompressionLevel, "1");
    start(noise);
    e.limits.max_cycles = 5;
    e.run.CycleCount = 5;
    cycle();
    EXPECT_TRUE(output_ready());  // at the cycle cap, whatever the size
    EXPECT_TRUE(written());
}

TEST_F(Cycle, AutoStopOffKeepsEvenALargerStream) {
    std::mt19937 rng(3);
    const auto input = test::random_bytes(rng, 500);
    settings.set(Setting::AutoStop, "");
    start(input);
    cycle();
    EXPECT_FALSE(output_ready());
    EXPECT_GT(e.run.best.BestSize, 500);
    EXPECT_EQ(e.run.best.BestSize, static_cast<int32_t>(e.run.StreamBits.size() / 8));
    EXPECT_EQ(e.run.best.BestStreamBits, e.run.StreamBits);
    EXPECT_EQ(ui.label(Label::DecisionsLabel), "Next pass");
    EXPECT_EQ(ui.label(Label::Label_9), "Next pass");
    EXPECT_FALSE(written());
}

TEST_F(Cycle, AutoStopWithoutGain) {
    std::mt19937 rng(4);
    const auto input = test::random_bytes(rng, 500);
    // In the first cycle nothing has been kept yet: not successful.
    start(input);
    cycle();
    EXPECT_TRUE(not_successful());
    EXPECT_FALSE(written());

    // A tie with the best size is no gain: the best stream is rolled back and written.
    settings.set(Setting::AutoStop, "");
    start(input);
    cycle();
    const BitString first = e.run.StreamBits;
    const std::string first_depth = ui.label(Label::LoopCountLabel);
    ASSERT_FALSE(output_ready());
    next_cycle();
    const BitString second_input = e.run.StreamBits;
    // Learn the size the second cycle makes, then replay it against a best of that size.
    {
        RecordingObserver quiet;
        Engine probe(quiet.reading(settings));
        probe.run.RodSize = 2;
        probe.run.StreamBits = second_input;
        probe.run.CycleCount = 2;
        probe.run.SourceByteCount = 500;
        probe.run.OriginalSize = 500;
        probe.run.best.BestSize = 1 << 30;
        probe.input.InputPath = (dir / "probe").string();
        CentrifugeCycle(probe);
        e.run.best.BestSize = static_cast<int32_t>(probe.run.StreamBits.size() / 8);
    }
    settings.set(Setting::AutoStop, "S");
    ui.keep_history = true;
    cycle();
    EXPECT_TRUE(output_ready());
    EXPECT_FALSE(not_successful());
    EXPECT_EQ(e.run.StreamBits, first);
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
    e.run.DecisionOverflow = true;
    cycle();
    EXPECT_TRUE(not_successful());
    EXPECT_EQ(settings.text(Setting::AutoStop), "S");
    EXPECT_FALSE(written());

    // In a later cycle: the best stream is written.
    settings.set(Setting::AutoStop, "");
    start(input);
    cycle();
    const BitString best = e.run.StreamBits;
    next_cycle();
    e.run.DecisionOverflow = true;
    cycle();
    EXPECT_FALSE(not_successful());
    EXPECT_TRUE(output_ready());
    EXPECT_EQ(test::read_file(dir / "input.rod"), best.to_bytes());
}

TEST_F(Cycle, BalanceBeyondItsFieldEndsThePasses) {
    const auto input = test::text_bytes(3000);
    settings.set(Setting::LoopMode, std::string(kSingleCycles));
    start(input);
    e.limits.max_balance = 2000;
    cycle();
    EXPECT_LE(e.run.cycle.HighRods - e.run.cycle.LowRods, 2000);
    ASSERT_TRUE(written());
    expect_restores(e.run.StreamBits, input);
}

// When the stream of the last pass does not restore, an earlier pass's stream is written; every
// written stream restores.
TEST_F(Cycle, FallsBackToAnEarlierPassThatRestores) {
    settings.set(Setting::LoopMode, std::string(kSingleCycles));
    std::mt19937 rng(11);
    int fell_back = 0;
    for (int round = 0; round < 60; ++round) {
        const auto input = test::random_bytes(rng, 82 + rng() % 300);
        start(input);
        cycle();
        if (!output_ready() || not_successful()) continue;
        RoundState r;
        ReadInFileHeader(r, e.run.StreamBits, static_cast<int32_t>(e.run.StreamBits.size() / 8), 0,
                         settings.lz77_on(), ui);
        EXPECT_LE(r.PassDepth, e.run.passes_run);
        EXPECT_GE(r.PassDepth, e.run.passes_run - 7);
        if (r.PassDepth < e.run.passes_run) ++fell_back;
        expect_restores(e.run.StreamBits, input);
    }
    EXPECT_GT(fell_back, 0);
}

}  // namespace
}  // namespace quorvane

namespace quorvane {
namespace {

// The streams of a cycle's last seven passes do not restore here; the eighth from the end does.
// A cycle tries its last eight passes before it gives up, so this input still packs.
TEST(CycleFallback, ReachesTheEighthPassFromTheEnd) {
    std::vector<uint8_t> input(199, 0);
    const std::pair<size_t, uint8_t> set[] = {{2, 0x36},   {3, 0x95},  {14, 0x44},  {27, 0xf8},
                                              {58, 0x79},  {64, 0xb7}, {119, 0x76}, {144, 0x3a},
                                              {175, 0x90}, {194, 0x2d}};
    for (const auto& [at, value] : set)
        input[at] = value;
    Settings settings;
    settings.rod_size = 13;
    settings.depth = 2;
    RecordingObserver ui;
    const RunResult packed = pack_buffer(input, settings, ui);
    ASSERT_EQ(packed.outcome, RunOutcome::Tested);
    // The longest run of passes undone one after the other.
    int undone = 0;
    int run = 0;
    for (const PassRecord& pass : ui.passes) {
        run = pass.fate == PassFate::Undone ? run + 1 : 0;
        undone = std::max(undone, run);
    }
    EXPECT_EQ(undone, 7);
    QuietObserver quiet;
    EXPECT_EQ(unpack_buffer(packed.bytes, settings, quiet).bytes, input);
}

}  // namespace
}  // namespace quorvane
