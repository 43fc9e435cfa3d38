// The study of files under settings, held against separate packs of the same files.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/bit_codecs.h"
#include "run/study.h"
#include "tests/test_support.h"
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
    const std::vector<FileStudy> studies =
        study_files(paths, sweep, 2, [&](size_t done, size_t total) {
            EXPECT_EQ(done, ++reports);
            EXPECT_EQ(total, paths.size());
        });
    ASSERT_EQ(studies.size(), paths.size());
    EXPECT_EQ(reports, paths.size());
    for (size_t i = 0; i < paths.size(); ++i)
        EXPECT_EQ(studies[i].path, paths[i]);
    EXPECT_EQ(studies[1].skipped, "81 bytes, outside 82..32767");
    EXPECT_TRUE(studies[2].error);
    EXPECT_EQ(studies[3].skipped, "32768 bytes, outside 82..32767");
    for (const size_t i : {0U, 4U}) {
        const FileStudy& f = studies[i];
        const std::vector<uint8_t>& bytes = i == 0 ? sparse : text;
        ASSERT_TRUE(f.studied());
        EXPECT_EQ(f.input_bytes, static_cast<int64_t>(bytes.size()));
        EXPECT_EQ(f.zlib_bytes,
                  static_cast<int64_t>(compress_bytes(bytes.data(), bytes.size()).size()));
        ASSERT_EQ(f.measurements.size(), sweep.size());
        for (size_t s = 0; s < sweep.size(); ++s)
            EXPECT_EQ(f.measurements[s].rod_bytes,
                      static_cast<int64_t>(pack_as(bytes, sweep[s]).size()));
        const auto smaller = f.measurements[0].rod_bytes <= f.measurements[1].rod_bytes ? 0 : 1;
        EXPECT_EQ(f.best, smaller);
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

TEST(Study, InMemoryZlibIsTheCompressCommandsStream) {
    test::TempDir dir;
    const std::vector<uint8_t> text = test::text_bytes(70000);
    test::write_file(dir / "t", text);
    compress_file(dir / "t", dir / "t.zlib");
    EXPECT_EQ(compress_bytes(text.data(), text.size()), test::read_file(dir / "t.zlib"));
}

}  // namespace
}  // namespace quorvane
