// Whole runs through Load File and ProcessRun: acceptance, reading, outcomes, and round trips.
#include <gtest/gtest.h>

#include <numeric>
#include <random>

#include "chip/chip_code.h"
#include "engine/errors.h"
#include "run/run_files.h"
#include "status/status_texts.h"
#include "tests/test_support.h"

namespace quorvane {
namespace {

class Run : public ::testing::Test {
  protected:
    test::TempDir dir;
    SettingTexts settings;
    RecordingObserver ui;
    Engine e{ui.reading(settings)};

    std::string put(const std::string& name, const std::vector<uint8_t>& bytes) {
        const auto path = dir / name;
        test::write_file(path, bytes);
        return path.string();
    }
    // Loads and runs; returns the run's result.
    bool run(const std::string& path, bool unpacking) {
        EXPECT_EQ(load_file(e, path), LoadResult::Accepted);
        last = ProcessRun(e, unpacking);
        return last.successful();
    }
    RunResult last;
};

TEST_F(Run, LoadFileSizeLimitAndRodNames) {
    struct Case {
        const char* name;
        size_t size;
        bool accepted;
        bool unpacking;
    };
    const Case cases[] = {
        {"a81", 81, false, false},       {"a82", 82, true, false},
        {"a32767", 32767, true, false},  {"a32768", 32768, false, false},
        {"small.rod", 10, true, true},   {"empty.rod", 0, true, true},
        {"x.ROD", 50, false, false},     {"x.Rod", 5000, true, false},
        {"x.rod.txt", 100, true, false},
    };
    for (const auto& c : cases) {
        ui.messages.clear();
        const std::string path = put(c.name, std::vector<uint8_t>(c.size, 7));
        const LoadResult result = load_file(e, path);
        EXPECT_EQ(result == LoadResult::Accepted, c.accepted) << c.name;
        EXPECT_EQ(e.input.InputPath, path);
        EXPECT_EQ(e.input.size, static_cast<int32_t>(c.size));
        if (c.accepted) {
            EXPECT_TRUE(ui.messages.empty());
            EXPECT_EQ(e.input.unpack_next, c.unpacking) << c.name;
            EXPECT_EQ(ui.label(Label::ModeLabel),
                      c.unpacking ? "Vexion Mode  : UnPacking" : "Vexion Mode  : Packing");
            EXPECT_TRUE(e.input.InputFile);
        } else {
            EXPECT_FALSE(e.input.InputFile);
        }
    }
    EXPECT_THROW_MSG(
        load_file(e, (dir / "missing").string()), EInOutError,
        "Cannot open file " + (dir / "missing").string() + ": No such file or directory");
    EXPECT_THROW(load_file(e, dir.path().string()), EInOutError);
}

// The 24-bit source size field describes at most 16,777,215 bytes: a rod file of that size is
// taken, one byte more is refused.
TEST_F(Run, RodFileSizeBoundary) {
    EXPECT_EQ(kMaxRodFileBytes, 16777215);
    const std::string largest = put("largest.rod", {});
    std::filesystem::resize_file(largest, 16777215);
    EXPECT_EQ(load_file(e, largest), LoadResult::Accepted);
    const std::string over = put("over.rod", {});
    std::filesystem::resize_file(over, 16777216);
    EXPECT_THROW_MSG(load_file(e, over), ECorruptData, "Rod file larger than 16 MiB: " + over);
}

TEST_F(Run, ReadOnlyInputCanBePacked) {
    const std::string path = put("ro.txt", test::sparse_bytes(400));
    std::filesystem::permissions(path, std::filesystem::perms::owner_read);
    EXPECT_TRUE(run(path, false));
    EXPECT_TRUE(std::filesystem::exists(path + ".rod"));
}

TEST_F(Run, ReadingStepLabelsAndBlocks) {
    ui.keep_history = true;
    settings.set(Setting::LoopMode, std::string(kSingleCycles));
    const std::string path = put("in82", test::sparse_bytes(82));
    ASSERT_EQ(load_file(e, path), LoadResult::Accepted);
    last = ProcessRun(e, false);
    EXPECT_EQ(ui.history(Label::InputLabel).back(), "Bits Input   : 656");
    const auto streams = ui.history(Label::StreamLabel);
    EXPECT_NE(std::find(streams.begin(), streams.end(), "Vexion Data  : 82 bytes"), streams.end());
    EXPECT_EQ(e.run.BitsIn, 656);
    EXPECT_EQ(e.run.SourceByteCount, 82);

    settings.set(Setting::Lz77, "");
    ui.reads.clear();
    for (size_t size : {1024, 1025}) {
        const std::string rod =
            put("blocks" + std::to_string(size) + ".rod", std::vector<uint8_t>(size, 0));
        ASSERT_EQ(load_file(e, rod), LoadResult::Accepted);
        last = ProcessRun(e, true);  // not a stream that restores, but it is read whole
        EXPECT_EQ(e.run.SourceByteCount, static_cast<int32_t>(size));
        const std::vector<int64_t> blocks =
            size == 1024 ? std::vector<int64_t>{1024} : std::vector<int64_t>{1024, 1025};
        EXPECT_EQ(ui.reads, blocks);
        ui.reads.clear();
    }
}

TEST_F(Run, ModeTexts) {
    ui.keep_history = true;
    const std::string path = put("mode.txt", test::sparse_bytes(300));
    for (const char* lz77 : {"Z", ""}) {
        settings.set(Setting::Lz77, lz77);
        run(path, false);
        const auto modes = ui.history(Label::ModeLabel);
        const std::string expected =
            std::string(lz77).empty() ? "Vexion Mode  : Packing" : "Vexion Mode  : Packing [Lz77]";
        EXPECT_NE(std::find(modes.begin(), modes.end(), expected), modes.end());
        EXPECT_EQ(modes.back(), "Vexion Mode  : Succesfull");
        ui.label_log.clear();
        run(path + ".rod", true);
        const auto unpack_modes = ui.history(Label::ModeLabel);
        EXPECT_EQ(unpack_modes[1], std::string(lz77).empty() ? "Vexion Mode  : UnPacking"
                                                             : "Vexion Mode  : UnPacking [Lz77]");
        EXPECT_EQ(unpack_modes.back(), "Vexion Mode  : Testing only");
        ui.label_log.clear();
    }
}

TEST_F(Run, NotSuccessfulRun) {
    const std::string path = put("zeros.bin", std::vector<uint8_t>(4000, 0));
    EXPECT_FALSE(run(path, false));
    EXPECT_FALSE(std::filesystem::exists(path + ".rod"));
    EXPECT_EQ(ui.label(Label::ModeLabel), "Vexion Mode  : Not Succesfull");
    EXPECT_EQ(ui.label(Label::OutputLabel), "Bits Output  : 32000");
    EXPECT_EQ(ui.label(Label::StreamLabel), "Vexion Data  : 4000");
    EXPECT_EQ(ui.label(Label::LoopCountLabel), "Vexion Depth : 0");
    EXPECT_EQ(ui.label(Label::DecisionsLabel), "Error");
    EXPECT_EQ(ui.label(Label::Label_9), "Error");
    EXPECT_EQ(ui.gauge_progress(Gauge::LoopProgressBar), 0);
    EXPECT_EQ(ui.chip_draws, 0);
    // Single-cycle mode: the input's own bits are never written as a rod file.
    settings.set(Setting::LoopMode, std::string(kSingleCycles));
    EXPECT_FALSE(run(path, false));
    EXPECT_FALSE(std::filesystem::exists(path + ".rod"));
}

TEST_F(Run, MultiCycleAutoStopAndLoopCount) {
    const std::string path = put("sparse.bin", test::sparse_bytes(3000));
    // Auto stop is emptied when the loop begins and switched on once the cycles counted reach
    // the loop count: with the default "2", right after the first cycle.
    std::vector<std::pair<std::string, size_t>> switches;
    settings.set_listener([&](Setting s, const std::string& text) {
        if (s == Setting::AutoStop) switches.emplace_back(text, ui.cycles.size());
    });
    EXPECT_TRUE(run(path, false));
    settings.set_listener({});
    ASSERT_GE(ui.cycles.size(), 2U);
    ASSERT_GE(switches.size(), 2U);
    EXPECT_EQ(switches[0], std::make_pair(std::string(), size_t{0}));
    EXPECT_EQ(switches[1], std::make_pair(std::string("S"), size_t{1}));
    EXPECT_EQ(ui.chip_draws,
              e.run.StreamBits.size() <= static_cast<size_t>(kTabletContentBits) ? 1 : 0);

    // A loop count that is no number is reported after the first cycle; the run still closes.
    settings.set(Setting::LoopCount, "abc");
    ASSERT_EQ(load_file(e, path), LoadResult::Accepted);
    EXPECT_THROW_MSG(ProcessRun(e, false), EConvertError,
                     "Loops: 'abc' is not a valid integer value");
    EXPECT_EQ(ui.gauge_progress(Gauge::CentriGauge2), 0);
    EXPECT_FALSE(e.input.InputFile);
}

TEST_F(Run, StartWithoutLoadFile) {
    const std::string path = put("once.txt", test::sparse_bytes(200));
    run(path, false);
    EXPECT_THROW_MSG(ProcessRun(e, false), EInOutError, "I/O error 103: file not open");
}

TEST_F(Run, TwoRunsInARowGiveTheSameFile) {
    const std::string path = put("twice.txt", test::sparse_bytes(5000, 3));
    ASSERT_TRUE(run(path, false));
    const auto first = test::read_file(path + ".rod");
    ASSERT_TRUE(run(path, false));
    EXPECT_EQ(test::read_file(path + ".rod"), first);
}

// A front end that shows nothing spares the passes their texts, and gets the same files; one
// that shows everything sees the depth of every pass.
TEST_F(Run, StatisticsShownOrNotGiveTheSameFiles) {
    const std::string path = put("both.txt", test::sparse_bytes(3000, 5));
    ui.keep_history = true;
    ASSERT_TRUE(run(path, false));
    const auto shown = test::read_file(path + ".rod");
    EXPECT_GT(ui.history(Label::LoopCountLabel).size(), 10U);

    QuietObserver silent;
    Engine quiet(silent.reading(settings));
    ASSERT_EQ(load_file(quiet, path), LoadResult::Accepted);
    ASSERT_TRUE(ProcessRun(quiet, false).successful());
    EXPECT_EQ(test::read_file(path + ".rod"), shown);
    ASSERT_EQ(load_file(quiet, path + ".rod"), LoadResult::Accepted);
    ASSERT_TRUE(ProcessRun(quiet, true).successful());
    EXPECT_EQ(test::read_file(path), test::sparse_bytes(3000, 5));
}

TEST_F(Run, FailedRestorationWritesNothing) {
    const std::string target = put("victim", {1, 2, 3});
    std::vector<uint8_t> junk(200);
    std::iota(junk.begin(), junk.end(), 0);
    settings.set(Setting::Lz77, "");
    EXPECT_TRUE(run(put("victim.rod", junk), true));
    EXPECT_TRUE(last.outcome == RunOutcome::RestoreFailed);
    EXPECT_FALSE(last.outcome == RunOutcome::Written);
    EXPECT_EQ(test::read_file(target), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_TRUE(ui.messages.empty());  // the outcome is the one report
    EXPECT_EQ(dir.files(), (std::vector<std::string>{"victim", "victim.rod"}));
}

TEST_F(Run, OutputNamesFollowTheRunsOwnDirection) {
    const std::string path = put("photo.bmp", test::sparse_bytes(700));
    ASSERT_TRUE(run(path, false));
    EXPECT_EQ(last.OutputPath, path + ".rod");
    // Packed further: ".rod" twice.
    ASSERT_EQ(load_file(e, path + ".rod"), LoadResult::Accepted);
    last = ProcessRun(e, false);
    EXPECT_EQ(last.OutputPath, path + ".rod.rod");
    std::filesystem::remove(path);
    ASSERT_TRUE(run(path + ".rod", true));
    EXPECT_EQ(last.OutputPath, path);
    EXPECT_EQ(test::read_file(path), test::sparse_bytes(700));
}

// The result says how each run ended, where its output is, and what was written.
TEST_F(Run, ResultTellsHowTheRunEnded) {
    settings.set(Setting::Lz77, "");  // junk is then a stream that fails to restore
    const std::vector<uint8_t> sparse = test::sparse_bytes(900, 4);
    const std::string sparse_path = put("s.bin", sparse);
    const std::string zeros_path = put("z.bin", std::vector<uint8_t>(900, 0));
    std::vector<uint8_t> junk(300);
    std::iota(junk.begin(), junk.end(), 0);
    const std::string junk_path = put("j.rod", junk);
    struct Case {
        const char* name;
        std::string input;
        bool unpacking;
        const char* output_name;  // -o, inside the folder; empty: the output's own name
        bool dry_run;
        int cancel_after_pumps;  // 0: never
        RunOutcome outcome;
        std::string output_path;
        bool file_written;
    };
    const Case cases[] = {
        {"written", sparse_path, false, "", false, 0, RunOutcome::Written, sparse_path + ".rod",
         true},
        {"dry run", sparse_path, false, "", true, 0, RunOutcome::Tested, sparse_path + ".rod",
         false},
        {"named", sparse_path, false, "x", false, 0, RunOutcome::Written, (dir / "x").string(),
         true},
        {"not successful", zeros_path, false, "", false, 0, RunOutcome::NotSuccessful,
         zeros_path + ".rod", false},
        {"restore failed", junk_path, true, "", false, 0, RunOutcome::RestoreFailed,
         (dir / "j").string(), false},
        {"cancelled", sparse_path, false, "", false, 40, RunOutcome::Cancelled, "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const auto& name : dir.files()) {
            if (name != "s.bin" && name != "z.bin" && name != "j.rod") {
                std::filesystem::remove(dir / name);
            }
        }
        int pumps = 0;
        ui.on_pump = [&] {
            if (c.cancel_after_pumps != 0 && ++pumps == c.cancel_after_pumps) {
                throw ERunCancelled();
            }
        };
        RunOptions options;
        if (*c.output_name != 0) options.output_path = (dir / c.output_name).string();
        options.dry_run = c.dry_run;
        ASSERT_EQ(load_file(e, c.input), LoadResult::Accepted);
        const RunResult result = ProcessRun(e, c.unpacking, options);
        ui.on_pump = nullptr;
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_EQ(result.successful(), c.outcome != RunOutcome::NotSuccessful);
        if (c.outcome != RunOutcome::Cancelled) {
            EXPECT_EQ(result.OutputPath, c.output_path);
        }
        EXPECT_EQ(result.SourceByteCount,
                  c.outcome == RunOutcome::Cancelled ? 0 : e.run.SourceByteCount);
        EXPECT_EQ(std::filesystem::exists(c.output_path), c.file_written);
        if (c.file_written) {
            EXPECT_EQ(test::read_file(c.output_path).size(),
                      static_cast<size_t>(result.OutputByteCount));
        }
        // Whatever the outcome, nothing but the inputs and the output is left in the folder.
        EXPECT_EQ(dir.files().size(), 3U + (c.file_written ? 1U : 0U));
        EXPECT_FALSE(e.input.InputFile);
    }
}

// Every file a run writes restores exactly, whatever the settings.
struct RoundTripParams {
    unsigned rod_size;
    bool lz77;
    bool single;
};

class RoundTrip : public Run, public ::testing::WithParamInterface<RoundTripParams> {};

TEST_P(RoundTrip, EveryWrittenFileRestores) {
    const auto p = GetParam();
    settings.set(Setting::RodSize, std::to_string(p.rod_size));
    settings.set(Setting::Lz77, p.lz77 ? "Z" : "");
    if (p.single) settings.set(Setting::LoopMode, std::string(kSingleCycles));
    std::mt19937 rng(p.rod_size * 4 + (p.lz77 ? 2 : 0) + (p.single ? 1 : 0));
    std::vector<std::vector<uint8_t>> inputs = {
        test::random_bytes(rng, 82),   test::random_bytes(rng, 32767),
        test::text_bytes(82),          test::text_bytes(32767),
        test::sparse_bytes(1500, 5),   std::vector<uint8_t>(2000, 0xFF),
        test::random_bytes(rng, 1111), test::text_bytes(4099, 9),
    };
    if (p.rod_size <= 8) inputs.push_back(test::sparse_bytes(32767, 6));
    int written = 0;
    for (size_t i = 0; i < inputs.size(); ++i) {
        SCOPED_TRACE("input " + std::to_string(i));
        const std::string path = put("in" + std::to_string(i), inputs[i]);
        const bool result = run(path, false);
        if (!result) {
            EXPECT_FALSE(std::filesystem::exists(path + ".rod"));
            continue;
        }
        ASSERT_TRUE(last.outcome == RunOutcome::Written);
        ++written;
        std::filesystem::remove(path);
        ASSERT_TRUE(run(path + ".rod", true));
        ASSERT_FALSE(last.outcome == RunOutcome::RestoreFailed);
        EXPECT_EQ(test::read_file(path), inputs[i]);
    }
    EXPECT_GT(written, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, RoundTrip,
    ::testing::Values(RoundTripParams{2, true, false}, RoundTripParams{2, false, false},
                      RoundTripParams{2, true, true}, RoundTripParams{2, false, true},
                      RoundTripParams{3, true, false}, RoundTripParams{3, false, true},
                      RoundTripParams{8, true, true}, RoundTripParams{8, false, false},
                      RoundTripParams{17, true, false}, RoundTripParams{17, false, true},
                      RoundTripParams{128, true, true}, RoundTripParams{128, false, false}),
    [](const auto& info) {
        return "R" + std::to_string(info.param.rod_size) + (info.param.lz77 ? "_lz77" : "_raw") +
               (info.param.single ? "_single" : "_multi");
    });

// Keeps the statistics as they stand at the end of the (last) cycle.
class CycleEndObserver : public RecordingObserver {
  public:
    void cycle_done(const CycleRecord& cycle) override {
        RecordingObserver::cycle_done(cycle);
        at_end = labels;
        data_at_end = gauge_progress(Gauge::CentriGauge2);
    }
    std::array<std::string, kLabelCount> at_end{};
    int64_t data_at_end = -1;
};

// The highest pass the depth label named: the last pass the cycles ran.
int32_t highest_pass_shown(const RecordingObserver& ui) {
    int32_t highest = 0;
    for (const std::string& text : ui.history(Label::LoopCountLabel)) {
        const size_t bar = text.rfind(" | ");
        highest =
            std::max(highest, std::stoi(text.substr(bar == std::string::npos ? 15 : bar + 3)));
    }
    return highest;
}

void expect_statistics_of(const CycleEndObserver& ui, const RodHeader& h) {
    const auto shown = [&](Label l) { return ui.at_end[static_cast<size_t>(l)]; };
    EXPECT_EQ(shown(Label::LoopCountLabel), depth_text(h.CycleCount, h.PassDepth, h.PassDepth > 1));
    EXPECT_EQ(shown(Label::OutputLabel), bits_output_text(h.DataBitCount));
    EXPECT_EQ(shown(Label::StreamLabel), data_text(h.DataBitCount / 8));
    EXPECT_EQ(shown(Label::DecisionsLabel), std::to_string(h.LowRods));
    EXPECT_EQ(shown(Label::Label_9), std::to_string(h.LowRods + h.RodBalance));
    EXPECT_EQ(ui.data_at_end, h.DataBitCount);
}

// A cycle can keep an earlier pass than the last it ran: a pass that changes nothing or whose
// balance the header cannot carry is undone, and the last pass's stream may not restore. Every
// statistic then shows the kept pass, as the written file's header records it; a multi-cycle run
// ends showing the depth of the stream it writes, rolled back to or not.
TEST(KeptPass, StatisticsShowThePassTheWrittenFileRecords) {
    std::mt19937 rng(17);
    int kept_earlier = 0;
    for (int round = 0; round < 48; ++round) {
        const bool single = round % 2 == 0;
        test::TempDir dir;
        test::write_file(dir / "in", round % 3 == 0 ? test::text_bytes(200 + rng() % 800, rng())
                                                    : test::random_bytes(rng, 82 + rng() % 300));
        SettingTexts settings;
        settings.set(Setting::RodSize, std::to_string(2 + rng() % 4));
        settings.set(Setting::Depth, std::to_string(1 + rng() % 20));
        if (single) settings.set(Setting::LoopMode, std::string(kSingleCycles));
        CycleEndObserver ui;
        ui.keep_history = true;
        Engine e(ui.reading(settings));
        // A lowered cap on the balance undoes the pass that crosses it.
        if (round % 3 == 0) e.limits.max_balance = 200 + static_cast<int32_t>(rng() % 400);
        ASSERT_EQ(load_file(e, (dir / "in").string()), LoadResult::Accepted);
        if (!ProcessRun(e, false).successful()) continue;
        const RodHeader h = decode_header(BitString::from_bytes(test::read_file(dir / "in.rod")));
        SCOPED_TRACE("round " + std::to_string(round));
        EXPECT_EQ(ui.label(Label::LoopCountLabel),
                  depth_text(h.CycleCount, h.PassDepth, h.PassDepth > 1));
        if (!single) continue;
        expect_statistics_of(ui, h);
        if (highest_pass_shown(ui) > h.PassDepth) ++kept_earlier;
    }
    EXPECT_GE(kept_earlier, 3);

    // All zeros: the first pass changes nothing and is undone; the cycle keeps no pass.
    test::TempDir dir;
    test::write_file(dir / "zeros", std::vector<uint8_t>(400, 0));
    SettingTexts settings;
    settings.set(Setting::LoopMode, std::string(kSingleCycles));
    CycleEndObserver ui;
    Engine e(ui.reading(settings));
    ASSERT_EQ(load_file(e, (dir / "zeros").string()), LoadResult::Accepted);
    EXPECT_FALSE(ProcessRun(e, false).successful());
    expect_statistics_of(ui, RodHeader{1, 0, 0, 0, 0, 3200, 400});
}

}  // namespace
}  // namespace quorvane
