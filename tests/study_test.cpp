// The study of files under settings, held against separate packs of the same files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <random>

#include "engine/bit_codecs.h"
#include "rodfile/rod_trailer.h"
#include "run/study.h"
#include "tests/test_support.h"
#include "zstream/baselines.h"
#include "zstream/zlib_file.h"

namespace quorvane {
namespace {

std::vector<uint8_t> pack_as(const std::vector<uint8_t>& input, const StudySetting& s) {
    return test::pack_bytes(input, [&](SettingTexts& settings) {
        settings.set(Setting::RodSize, std::to_string(s.rod_size));
        settings.set(Setting::Depth, std::to_string(s.depth));
        settings.set(Setting::Lz77, s.lz77 ? "Z" : "");
        if (s.single) settings.set(Setting::LoopMode, std::string(kSingleCycles));
        settings.set(Setting::LoopCount, std::to_string(s.loops));
    });
}

TEST(Study, MeasuresWhatASeparatePackWrites) {
    const std::vector<uint8_t> input = test::sparse_bytes(3000, 9);
    const StudySetting settings[] = {{2, 1, true, false, 2},
                                     {5, 1, false, true, 2},
                                     {3, 5, true, false, 4},
                                     {2, 30, true, true, 2}};
    for (const StudySetting& s : settings) {
        const StudyMeasurement m = study_file(input, s);
        const std::vector<uint8_t> rod = pack_as(input, s);
        ASSERT_EQ(m.outcome, StudyOutcome::Packed) << s.rod_size;
        EXPECT_EQ(m.rod_bytes, static_cast<int64_t>(rod.size())) << s.rod_size;
        const RodHeader header = decode_header(BitString::from_bytes(rod));
        EXPECT_EQ(m.cycles, header.CycleCount) << s.rod_size;
        // The passes of every cycle, the newest one's in the outer header.
        EXPECT_GE(m.passes, header.PassDepth + header.CycleCount - 1) << s.rod_size;
        EXPECT_GT(m.pack_ms, 0.0);
    }
    const StudyMeasurement zeros = study_file(std::vector<uint8_t>(5000, 0), StudySetting{});
    EXPECT_EQ(zeros.outcome, StudyOutcome::NotSuccessful);
    EXPECT_EQ(counted_bytes(zeros, 5000), 5000);
}

TEST(Study, FilesInTheirOrderWithSkipsAndErrors) {
    test::TempDir dir;
    const std::vector<uint8_t> sparse = test::sparse_bytes(2000, 3);
    const std::vector<uint8_t> text = test::text_bytes(900);
    test::write_file(dir / "sparse", sparse);
    test::write_file(dir / "small", std::vector<uint8_t>(81, 1));
    test::write_file(dir / "large", std::vector<uint8_t>(32768, 1));
    test::write_file(dir / "text", text);
    const std::vector<std::string> paths = {(dir / "sparse").string(), (dir / "small").string(),
                                            (dir / "missing").string(), (dir / "large").string(),
                                            (dir / "text").string()};
    const std::vector<StudySetting> sweep = {{2, 1, true, false, 2}, {4, 1, false, true, 2}};
    size_t reports = 0;
    const std::vector<FileStudy> studies = study_files(
        paths, sweep, {Baseline::Xz, Baseline::Entropy}, 2, [&](size_t done, size_t total) {
            EXPECT_EQ(done, ++reports);
            EXPECT_EQ(total, paths.size());
        });
    ASSERT_EQ(studies.size(), paths.size());
    EXPECT_EQ(reports, paths.size());
    for (size_t i = 0; i < paths.size(); ++i)
        EXPECT_EQ(studies[i].path, paths[i]);
    EXPECT_EQ(studies[1].skipped, "81 bytes, under 82");
    EXPECT_TRUE(studies[2].error);
    // One byte over a block: a block, and one byte stored as it is.
    ASSERT_TRUE(studies[3].studied());
    ASSERT_EQ(studies[3].blocks.size(), 2U);
    EXPECT_EQ(studies[3].blocks[0].measurements.size(), sweep.size());
    EXPECT_TRUE(studies[3].blocks[1].stored());
    EXPECT_FALSE(studies[0].in_blocks());
    for (const size_t i : {0U, 4U}) {
        const FileStudy& f = studies[i];
        const std::vector<uint8_t>& bytes = i == 0 ? sparse : text;
        ASSERT_TRUE(f.studied());
        EXPECT_EQ(f.input_bytes, static_cast<int64_t>(bytes.size()));
        EXPECT_EQ(f.zlib_bytes,
                  static_cast<int64_t>(compress_bytes(bytes.data(), bytes.size()).size()));
        EXPECT_EQ(f.baseline(Baseline::Xz), baseline_bytes(Baseline::Xz, bytes));
        EXPECT_EQ(f.baseline(Baseline::Entropy), entropy_bytes(bytes));
        EXPECT_EQ(f.baseline(Baseline::Zstd), std::nullopt);
        EXPECT_EQ(f.baseline(Baseline::Zlib), std::nullopt);
        ASSERT_EQ(f.measurements.size(), sweep.size());
        for (size_t s = 0; s < sweep.size(); ++s)
            EXPECT_EQ(f.measurements[s].rod_bytes,
                      static_cast<int64_t>(pack_as(bytes, sweep[s]).size()));
        const auto smaller = f.measurements[0].rod_bytes <= f.measurements[1].rod_bytes ? 0 : 1;
        EXPECT_EQ(f.best, smaller);
    }
}

std::vector<uint8_t> concat(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// A file above a block's size: each block as pack packs a file of it alone, the file's rod bytes
// their sum, with a block packing does not shrink and a last block too small to pack counted at
// their sizes.
TEST(Study, LargeFilesInBlocksOfTheirOwn) {
    std::mt19937 rng(5);
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
        std::vector<int64_t> block_sizes;
    } cases[] = {
        {"100 KB",
         concat({test::sparse_bytes(32767, 1), test::random_bytes(rng, 32767),
                 test::sparse_bytes(34466, 2)}),
         {32767, 32767, 32767, 1699}},
        {"short last block",
         concat({test::sparse_bytes(65534, 3), test::random_bytes(rng, 40)}),
         {32767, 32767, 40}},
    };
    test::TempDir dir;
    const std::vector<StudySetting> sweep = {{2, 1, true, false, 2}, {3, 1, true, true, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::write_file(dir / "large", c.bytes);
        const FileStudy f =
            study_files({(dir / "large").string()}, sweep, {Baseline::Zstd}, 2, {}).front();
        ASSERT_TRUE(f.studied());
        EXPECT_EQ(f.input_bytes, static_cast<int64_t>(c.bytes.size()));
        EXPECT_EQ(f.baseline(Baseline::Zstd), baseline_bytes(Baseline::Zstd, c.bytes));
        ASSERT_EQ(f.blocks.size(), c.block_sizes.size());
        std::vector<int64_t> sums(sweep.size(), 0);
        for (size_t b = 0; b < f.blocks.size(); ++b) {
            const StudyBlock& block = f.blocks[b];
            EXPECT_EQ(block.input_bytes, c.block_sizes[b]);
            const std::vector<uint8_t> part(c.bytes.begin() + block.offset,
                                            c.bytes.begin() + block.offset + block.input_bytes);
            EXPECT_EQ(block.stored(), part.size() < 82) << b;
            for (size_t s = 0; s < sweep.size(); ++s) {
                const std::vector<uint8_t> rod = block.stored() ? part : pack_as(part, sweep[s]);
                if (!block.stored()) {
                    EXPECT_EQ(block.measurements[s].rod_bytes, static_cast<int64_t>(rod.size()));
                }
                sums[s] += rod.empty() ? block.input_bytes : static_cast<int64_t>(rod.size());
            }
        }
        for (size_t s = 0; s < sweep.size(); ++s) {
            EXPECT_EQ(f.measurements[s].outcome, StudyOutcome::Packed);
            EXPECT_EQ(f.measurements[s].rod_bytes, sums[s]) << s;
        }
        EXPECT_EQ(f.best, sums[0] <= sums[1] ? 0 : 1);
    }
}

// The trace of a run: every pass continuing from the one before it, and the last cycle's record
// telling the stream the rod file holds.
TEST(Study, TraceOfTheRun) {
    const struct {
        std::vector<uint8_t> bytes;
        StudySetting setting;
    } cases[] = {
        {test::sparse_bytes(6000, 2), {2, 1, true, false, 2}},
        {test::sparse_bytes(3000, 5), {3, 5, true, false, 4}},
        {test::text_bytes(2000), {2, 1, true, true, 2}},
    };
    for (const auto& c : cases) {
        const StudyMeasurement plain = study_file(c.bytes, c.setting);
        const StudyMeasurement traced = study_file(c.bytes, c.setting, true);
        EXPECT_TRUE(plain.trace.passes.empty() && plain.trace.cycles.empty());
        EXPECT_EQ(traced.outcome, plain.outcome);
        EXPECT_EQ(traced.rod_bytes, plain.rod_bytes);
        const StudyTrace& t = traced.trace;
        ASSERT_FALSE(t.passes.empty());
        ASSERT_FALSE(t.cycles.empty());
        for (size_t i = 1; i < t.passes.size(); ++i) {
            const PassRecord& before = t.passes[i - 1];
            const PassRecord& p = t.passes[i];
            if (p.fate != PassFate::Ran || before.fate != PassFate::Ran) continue;
            if (p.cycle == before.cycle) {
                EXPECT_EQ(p.pass, before.pass + 1);
                EXPECT_EQ(p.bits_in, before.bits_out);
                EXPECT_GE(p.decision_bits, before.decision_bits);
            }
        }
        // Cycles in order, each with its passes.
        for (size_t i = 0; i < t.cycles.size(); ++i) {
            EXPECT_EQ(t.cycles[i].cycle, t.cycles.front().cycle + static_cast<int32_t>(i));
            EXPECT_TRUE(std::ranges::any_of(
                t.passes, [&](const PassRecord& p) { return p.cycle == t.cycles[i].cycle; }));
        }
        // The stream written: the last cycle's own, or the best before it, rolled back to.
        const CycleRecord& last = t.cycles.back();
        if (traced.outcome == StudyOutcome::Packed) {
            ASSERT_TRUE(last.fate == CycleFate::Finalised || last.fate == CycleFate::RolledBack);
            const int64_t bits =
                last.fate == CycleFate::Finalised ? last.stream_bits : last.best_bits;
            EXPECT_EQ(bits / 8 + static_cast<int64_t>(kTrailerBytes), traced.rod_bytes);
        }
    }
}

TEST(Study, TotalsOverFiles) {
    StudyTotal total;
    total.add(100, 50);
    total.add(300, 600);
    EXPECT_EQ(total.files, 2);
    EXPECT_DOUBLE_EQ(total.total_ratio(), 650.0 / 400.0);
    EXPECT_DOUBLE_EQ(total.geometric_mean(), 1.0);  // sqrt(0.5 * 2)
    EXPECT_EQ(StudyTotal{}.total_ratio(), 0.0);
}

TEST(Study, VerdictTexts) {
    const struct {
        Baseline baseline;
        int64_t rod;
        int64_t base;
        const char* text;
    } cases[] = {
        {Baseline::Xz, 2260, 1000, "rod files are 126 % larger than xz -9e"},
        {Baseline::Zstd, 880, 1000, "rod files are 12 % smaller than zstd -19"},
        {Baseline::Zlib, 1004, 1000, "rod files are 0.4 % larger than zlib (compress)"},
        {Baseline::Xz, 996, 1000, "rod files are 0.4 % smaller than xz -9e"},
        {Baseline::Xz, 1000, 1000, "rod files are as large as xz -9e"},
    };
    for (const auto& c : cases) {
        const StudyVerdict verdict{c.baseline, c.rod, c.base};
        EXPECT_EQ(verdict.text(), c.text);
        EXPECT_NEAR(verdict.percent(), (c.rod - c.base) * 100.0 / c.base, 1e-9);
    }
}

// Files with made-up sizes: the totals of each setting and baseline, and which compressor each
// verdict is held against.
TEST(Study, SummaryAndVerdicts) {
    const auto file = [](int64_t input, std::vector<int64_t> rods,
                         std::array<std::optional<int64_t>, kBaselines.size()> baselines) {
        FileStudy f;
        f.input_bytes = input;
        for (const int64_t rod : rods) {
            StudyMeasurement m;
            m.outcome = rod > 0 ? StudyOutcome::Packed : StudyOutcome::NotSuccessful;
            m.rod_bytes = rod;
            if (rod > 0 &&
                (f.best < 0 || rod < f.measurements[static_cast<size_t>(f.best)].rod_bytes))
                f.best = static_cast<int>(f.measurements.size());
            f.measurements.push_back(m);
        }
        f.baselines = baselines;
        f.zlib_bytes = baselines[0].value_or(0);
        return f;
    };
    FileStudy skipped;
    skipped.skipped = "too small";
    // zlib, zstd, xz, entropy
    const std::vector<FileStudy> studies = {
        file(1000, {600, 500}, {{700, 650, 640, 300}}),          // the scheme wins against xz
        skipped, file(2000, {0, 2100}, {{900, 800, 850, 100}}),  // loses against zstd
        file(500, {0, 0}, {{400, 450, 420, 50}}),  // never packed: counted at its size
    };
    EXPECT_EQ(file_verdict(studies[0])->text(), "rod files are 22 % smaller than xz -9e");
    EXPECT_EQ(file_verdict(studies[2])->baseline, Baseline::Zstd);
    EXPECT_EQ(file_verdict(studies[2])->rod_bytes, 2100);
    EXPECT_EQ(file_verdict(studies[3])->rod_bytes, 500);
    EXPECT_EQ(file_verdict(studies[3])->baseline, Baseline::Zlib);
    EXPECT_EQ(file_verdict(studies[1]), std::nullopt);
    // Entropy alone is no compressor to hold the rod files against.
    EXPECT_EQ(file_verdict(file(100, {90}, {{std::nullopt, std::nullopt, std::nullopt, 10}})),
              std::nullopt);

    const StudySummary summary = summarize(studies, 2);
    EXPECT_EQ(summary.files, 3);
    EXPECT_EQ(summary.settings[0].output_bytes, 600 + 2000 + 500);
    EXPECT_EQ(summary.settings[1].output_bytes, 500 + 2100 + 500);
    EXPECT_EQ(summary.best, 0);
    const int64_t expected[] = {700 + 900 + 400, 650 + 800 + 450, 640 + 850 + 420, 450};
    for (const Baseline b : kBaselines) {
        ASSERT_TRUE(summary.baseline(b));
        EXPECT_EQ(summary.baseline(b)->output_bytes, expected[static_cast<size_t>(b)]);
        EXPECT_EQ(summary.baseline(b)->files, 3);
    }
    ASSERT_TRUE(summary.verdict);
    EXPECT_EQ(summary.verdict->baseline, Baseline::Zstd);  // 1900 against zlib's 2000
    EXPECT_EQ(summary.verdict->rod_bytes, 3100);
    EXPECT_EQ(summary.verdict->text(), "rod files are 63 % larger than zstd -19");
}

TEST(Study, InMemoryZlibIsTheCompressCommandsStream) {
    test::TempDir dir;
    const std::vector<uint8_t> text = test::text_bytes(70000);
    test::write_file(dir / "t", text);
    compress_file(dir / "t", dir / "t.zlib");
    EXPECT_EQ(compress_bytes(text.data(), text.size()), test::read_file(dir / "t.zlib"));
}

}  // namespace
}  // namespace quorvane
