// quorvane-cli info, detect (and unpack/test --detect) and study: golden cases, and the --json
// documents parsed and held against the engine's own packs.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <regex>

#include "tests/cli_support.h"
#include "tests/json_reader.h"
#include "tests/test_support.h"
#include "zstream/baselines.h"

namespace quorvane {
namespace {

using test::Bytes;
using test::CliCase;
using test::CliGolden;
using test::Files;
using test::Json;
using test::usage_error;

const Bytes kSparse = test::sparse_bytes(1500, 8);
const Bytes kSparseR5Raw = test::pack_bytes(kSparse, [](SettingTexts& s) {
    s.set(Setting::RodSize, "5");
    s.set(Setting::Lz77, "");
});
// Five split rods, two whole ones: a balance of -3.
const Bytes kNegative =
    test::rod_bytes({3, 7, test::bits("1010101010101"), 5, 2, 4000, test::bits("10110000")});
// Whole rods only; every rod size turns the data by its own length: many different results.
const Bytes kTurned = test::rod_bytes({1, 1, test::bits("0000000000000001"), 0, 1, 2, BitString()});
const Bytes kGarbage = test::text_bytes(500);
const std::string kFailure =
    "This attempt to restore a fractalized file has failed You either used a corrupted file or "
    "did something illegal This vexion mechanism can not see ramdomly created wholes Please "
    "contakt Korrindal for details to resolve this problem";

std::string crc_text(const Bytes& bytes) {
    char text[16];
    std::snprintf(text, sizeof text, "%08lx",
                  ::crc32(0L, bytes.data(), static_cast<uInt>(bytes.size())));
    return text;
}

std::vector<CliCase> explore_cases() {
    const Files negative{{"n.rod", kNegative}};
    const Files packed{{"s.rod", kSparseR5Raw}};
    const Files turned{{"t.rod", kTurned}};
    const Files garbage{{"g.rod", kGarbage}};
    const std::string every_candidate =
        "quorvane-cli: t\\.rod: restores to 15 different files; nothing written:\n"
        "  -r 2 --no-lz77: 2 bytes, CRC-32 [0-9a-f]{8}, 1 cycle\n"
        "(  -r [0-9,-]+ --no-lz77: 2 bytes, CRC-32 [0-9a-f]{8}, 1 cycle\n){13}"
        "  -r 16,18-128 --no-lz77: 2 bytes, CRC-32 [0-9a-f]{8}, 1 cycle\n";
    return {
        {"InfoShowsTheFields",
         {"info", "n.rod"},
         negative,
         0,
         negative,
         "",
         "n\\.rod: 21 bytes\n  CycleCount       : 3\n  PassDepth        : 7\n"
         "  TrailingBitCount : 5\n  LowRods          : 5\n  RodBalance       : -3\n"
         "  DataBitCount     : 13\n  SourceByteCount  : 4000\n  HighRods         : 2\n"
         "  header\\+data\\+pad  : 20 bytes\n"
         "  decision part    : 1 byte, does not start like a zlib stream \\(LZ77 likely off\\)\n"},
        {"InfoReadsAPipeWhenNoFileIsNamed",
         {"info"},
         {},
         0,
         {},
         "",
         "-: 21 bytes\n  CycleCount       : 3\n[^]*",
         kNegative},
        {"InfoTooShort",
         {"info", "x.rod"},
         {{"x.rod", Bytes(17, 0)}},
         1,
         {{"x.rod", Bytes(17, 0)}},
         "quorvane-cli: x\\.rod: too short for a rod file: 17 bytes, the header alone takes 18 "
         "bytes\n"},
        {"InfoMissingFile",
         {"info", "none.rod"},
         {},
         2,
         {},
         "quorvane-cli: none\\.rod: Cannot open file none\\.rod: No such file or directory\n"},
        {"DetectListsEveryResult",
         {"detect", "t.rod"},
         turned,
         1,
         turned,
         "quorvane-cli: t\\.rod: restores to 15 different files\n",
         "t\\.rod: 15 different results from 254 settings\n  -r 2 --no-lz77: 2 bytes, [^]*"
         "  -r 16,18-128 --no-lz77: 2 bytes, CRC-32 [0-9a-f]{8}, 1 cycle\n"},
        {"DetectFindsNothingInGarbage",
         {"detect", "g.rod"},
         garbage,
         1,
         garbage,
         "quorvane-cli: g\\.rod: " + kFailure + "\n"},
        {"UnpackDetectWrites",
         {"unpack", "--detect", "s.rod"},
         packed,
         0,
         {{"s.rod", kSparseR5Raw}, {"s", kSparse}},
         ""},
        // Detection stops at the second result, but the list shows all 15, as detect does.
        {"UnpackDetectListsEveryResult",
         {"unpack", "--detect", "t.rod"},
         turned,
         1,
         turned,
         every_candidate},
        {"TestDetectListsEveryResult",
         {"test", "--detect", "t.rod"},
         turned,
         1,
         turned,
         every_candidate},
        {"UnpackDetectFindsNothing",
         {"unpack", "--detect", "g.rod"},
         garbage,
         1,
         garbage,
         "quorvane-cli: g\\.rod: " + kFailure + "\n"},
        {"TestDetectWritesNothing",
         {"test", "--detect", "-v", "s.rod"},
         packed,
         0,
         packed,
         "[^]*quorvane-cli: s\\.rod: " + std::to_string(kSparseR5Raw.size()) +
             " -> 1500 bytes, with -r 5 --no-lz77, restores\n"},
        {"DetectTakesNoRodSize",
         {"unpack", "--detect", "-r", "5", "s.rod"},
         packed,
         2,
         packed,
         usage_error("--detect finds the rod size and LZ77 setting itself; give neither")},
        // A name that is not UTF-8 keeps its bytes as surrogate escapes; UTF-8 passes as it is.
        {"InfoJsonEscapesNamesThatAreNotUtf8",
         {"info", "--json", "bad\xff.rod", "caf\xc3\xa9\xe2\x82.rod"},
         {{"bad\xff.rod", kNegative}},
         2,
         {{"bad\xff.rod", kNegative}},
         "[^]*",
         "\\{\"files\":\\[\\{\"file\":\"bad\\\\udcff\\.rod\",[^]*"
         "\\{\"file\":\"caf\xc3\xa9\\\\udce2\\\\udc82\\.rod\",\"error\":[^]*"},
        {"DetectJsonEscapesNamesThatAreNotUtf8",
         {"detect", "--json", "bad\xff.rod"},
         {{"bad\xff.rod", kSparseR5Raw}},
         0,
         {{"bad\xff.rod", kSparseR5Raw}},
         "",
         "\\{\"files\":\\[\\{\"file\":\"bad\\\\udcff\\.rod\",[^]*"},
        {"StudyJsonEscapesNamesThatAreNotUtf8",
         {"study", "--json", "-r", "2", "bad\xff"},
         {{"bad\xff", kSparse}},
         0,
         {{"bad\xff", kSparse}},
         "",
         "\\{\"files\":\\[\\{\"file\":\"bad\\\\udcff\",[^]*"},
        {"StudyRangeBackwards",
         {"study", "-r", "8-3", "s.rod"},
         packed,
         2,
         packed,
         usage_error("invalid value '8-3' for -r \\(a list within 2\\.\\.128\\)")},
        {"StudyLz77Choice",
         {"study", "--lz77", "maybe", "s.rod"},
         packed,
         2,
         packed,
         usage_error("invalid value 'maybe' for --lz77 \\(on, off or both\\)")},
        {"StudyBaselineName",
         {"study", "--baseline", "zstd,lzma", "s.rod"},
         packed,
         2,
         packed,
         usage_error(
             "invalid value 'zstd,lzma' for --baseline \\(zlib, zstd, xz, entropy or none\\)")},
        {"StudyTraceNeedsAFormat",
         {"study", "--trace", "s.rod"},
         packed,
         2,
         packed,
         usage_error("--trace goes with --json or --csv")},
        {"StudyCsvOrJson",
         {"study", "--csv", "--json", "s.rod"},
         packed,
         2,
         packed,
         usage_error("--csv and --json exclude each other")},
    };
}

INSTANTIATE_TEST_SUITE_P(Explore, CliGolden, testing::ValuesIn(explore_cases()), test::golden_name);

class CliExploreJson : public testing::Test {
  protected:
    test::TempDir dir;
    Json run(const std::vector<std::string>& args, int status) {
        const test::CliOutput result = test::run_cli_in(dir.path(), args);
        EXPECT_EQ(result.status, status) << result.err;
        return test::parse_json(result.out);
    }
};

TEST_F(CliExploreJson, Info) {
    test::write_file(dir / "n.rod", kNegative);
    test::write_file(dir / "s.rod", kSparseR5Raw);
    test::write_file(dir / "x.rod", Bytes(5, 0));
    const Json doc = run({"info", "--json", "n.rod", "x.rod", "s.rod"}, 1);
    const Json& files = doc["files"];
    ASSERT_EQ(files.items.size(), 3U);
    EXPECT_EQ(files[0]["file"].text, "n.rod");
    EXPECT_EQ(files[0]["header"]["RodBalance"].integer(), -3);
    EXPECT_EQ(files[0]["header"]["SourceByteCount"].integer(), 4000);
    EXPECT_EQ(files[0]["HighRods"].integer(), 2);
    EXPECT_EQ(files[0]["decision_bytes"].integer(), 1);
    EXPECT_FALSE(files[0]["decisions_start_like_zlib"].boolean);
    EXPECT_TRUE(files[1].has("error"));
    EXPECT_FALSE(files[1].has("header"));
    EXPECT_EQ(files[2]["file_bytes"].integer(), static_cast<int64_t>(kSparseR5Raw.size()));
    EXPECT_EQ(files[2]["header"]["SourceByteCount"].integer(), 1500);
}

TEST_F(CliExploreJson, Detect) {
    test::write_file(dir / "s.rod", kSparseR5Raw);
    test::write_file(dir / "g.rod", kGarbage);
    const Json doc = run({"detect", "--json", "s.rod", "g.rod"}, 1);
    const Json& found = doc["files"][0];
    EXPECT_FALSE(found["lz77_first"].boolean);
    EXPECT_EQ(found["settings_tried"].integer(), 254);
    ASSERT_EQ(found["results"].items.size(), 1U);
    const Json& result = found["results"][0];
    EXPECT_EQ(result["bytes"].integer(), 1500);
    EXPECT_EQ(result["crc32"].text, crc_text(kSparse));
    bool packing_setting = false;
    for (const Json& s : result["settings"].items)
        packing_setting |= s["rod_size"].integer() == 5 && !s["lz77"].boolean;
    EXPECT_TRUE(packing_setting);
    EXPECT_TRUE(doc["files"][1]["results"].items.empty());
}

// Python's json module reads each document, and the name it gives back encodes (surrogateescape)
// to the bytes of the file's name.
TEST_F(CliExploreJson, NamesThatAreNotUtf8RoundTripThroughPython) {
    const std::string name = "bad\xff\xc3.rod";
    test::write_file(dir / name, kSparseR5Raw);
    for (const std::string command : {"info", "detect", "study"}) {
        const test::CliOutput result = test::run_cli_in(dir.path(), {command, "--json", name});
        test::write_file(dir / "out.json", test::bytes_of(result.out));
        const std::string check =
            "python3 -c 'import json, os, sys; "
            "sys.exit(os.fsencode(json.load(open(sys.argv[1]))[\"files\"][0][\"file\"]) != "
            "b\"bad\\xff\\xc3.rod\")' " +
            (dir / "out.json").string();
        EXPECT_EQ(std::system(check.c_str()), 0) << command << ":\n" << result.out;
    }
}

TEST_F(CliExploreJson, StudyAgainstSeparatePacks) {
    const Bytes text = test::text_bytes(700);
    test::write_file(dir / "sparse", kSparse);
    test::write_file(dir / "text", text);
    test::write_file(dir / "small", Bytes(60, 0));
    const Json doc = run(
        {"study", "--json", "-r", "2,5", "--lz77", "both", "-j", "2", "sparse", "small", "text"},
        0);
    const Json& files = doc["files"];
    ASSERT_EQ(files.items.size(), 3U);
    EXPECT_EQ(files[1]["skipped"].text, "60 bytes, under 82");
    int64_t total_in = 0;
    std::vector<int64_t> total_out(4, 0);
    for (const size_t f : {0U, 2U}) {
        const Bytes& input = f == 0 ? kSparse : text;
        const Json& results = files[f]["results"];
        ASSERT_EQ(results.items.size(), 4U);
        int best = -1;
        int64_t smallest = INT64_MAX;
        for (size_t i = 0; i < 4; ++i) {
            const Json& r = results[i];
            EXPECT_EQ(r["rod_size"].integer(), i < 2 ? 2 : 5);
            EXPECT_EQ(r["lz77"].boolean, i % 2 == 0);
            const Bytes rod = test::pack_bytes(input, [&](SettingTexts& s) {
                s.set(Setting::RodSize, std::to_string(r["rod_size"].integer()));
                s.set(Setting::Lz77, r["lz77"].boolean ? "Z" : "");
            });
            ASSERT_EQ(r["outcome"].text, rod.empty() ? "not successful" : "packed");
            const int64_t counted =
                rod.empty() ? static_cast<int64_t>(input.size()) : static_cast<int64_t>(rod.size());
            if (!rod.empty()) {
                EXPECT_EQ(r["rod_bytes"].integer(), static_cast<int64_t>(rod.size()));
                EXPECT_NEAR(r["ratio"].number, static_cast<double>(rod.size()) / input.size(),
                            1e-4);
                if (counted < smallest) {
                    smallest = counted;
                    best = static_cast<int>(i);
                }
            }
            total_out[i] += counted;
        }
        for (size_t i = 0; i < 4; ++i)
            EXPECT_EQ(results[i]["best"].boolean, static_cast<int>(i) == best) << f << " " << i;
        total_in += static_cast<int64_t>(input.size());
    }
    const Json& totals = doc["totals"];
    ASSERT_EQ(totals.items.size(), 4U);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(totals[i]["files"].integer(), 2);
        EXPECT_EQ(totals[i]["input_bytes"].integer(), total_in);
        EXPECT_EQ(totals[i]["output_bytes"].integer(), total_out[i]);
    }
    EXPECT_EQ(doc["zlib_total"]["files"].integer(), 2);
}

TEST_F(CliExploreJson, StudyTableAndCsv) {
    test::write_file(dir / "sparse", kSparse);
    test::write_file(dir / "small", Bytes(60, 0));
    const test::CliOutput table = test::run_cli_in(dir.path(), {"study", "sparse", "small"});
    EXPECT_EQ(table.status, 0);
    EXPECT_TRUE(std::regex_match(
        table.out,
        std::regex("file +bytes +settings +out bytes +ratio +cycles +passes +pack ms +restore ms\n"
                   "sparse +1500 +-r 2 -d 1 +[0-9]+ +0\\.[0-9]{3}[* ] +[^]*"
                   " +zlib \\(compress\\) +[0-9]+ +0\\.[0-9]{3}\n"
                   " +zstd -19 +[0-9]+ +0\\.[0-9]{3}\n"
                   " +xz -9e +[0-9]+ +0\\.[0-9]{3}\n"
                   " +order-0 entropy +[0-9]+ +0\\.[0-9]{3}\n"
                   " +verdict \\(-r [0-9] -d 1\\): rod files are [0-9.]+ % (larger|smaller) than "
                   "[^\n]+\n"
                   "small +60 +skipped: 60 bytes, under 82\n\n"
                   "total over 1 file +bytes +out bytes +total ratio +geometric mean\n"
                   "-r 2 -d 1 +1500 +[^]*-r 8 -d 1 +1500 +[^]*zlib \\(compress\\) +1500 [^]*"
                   "verdict over 1 file [^]*order-0 entropy: a reference, not a bound\n")))
        << table.out;
    const test::CliOutput csv =
        test::run_cli_in(dir.path(), {"study", "--csv", "-r", "2-4", "sparse", "small"});
    EXPECT_EQ(csv.status, 0);
    EXPECT_EQ(std::count(csv.out.begin(), csv.out.end(), '\n'), 1 + 3 + 1);
    EXPECT_NE(csv.out.find("\nsmall,60,,,,,,skipped,"), std::string::npos);
    // Every line has the header's fields, the skipped file's reason (quoted) in the last one.
    const auto separators = [](std::string_view line) {
        bool quoted = false;
        size_t commas = 0;
        for (const char c : line) {
            quoted ^= c == '"';
            commas += !quoted && c == ',';
        }
        return commas;
    };
    std::vector<std::string_view> lines;
    for (size_t start = 0, end; (end = csv.out.find('\n', start)) != std::string::npos;
         start = end + 1)
        lines.push_back(std::string_view(csv.out).substr(start, end - start));
    for (const std::string_view line : lines)
        EXPECT_EQ(separators(line), separators(lines.front())) << line;
    EXPECT_TRUE(lines.back().ends_with(",\"60 bytes, under 82\"")) << lines.back();
}

// A file above a block's size: its blocks in the document, their rod bytes (and the last block,
// stored) summing to the file's; the table says so.
TEST_F(CliExploreJson, StudyInBlocks) {
    Bytes bytes = test::sparse_bytes(65534, 4);
    bytes.resize(65534 + 50, 7);
    test::write_file(dir / "large", bytes);
    const Json doc = run({"study", "--json", "-r", "2", "--baseline", "zstd", "large"}, 0);
    const Json& file = doc["files"][0];
    const Json& blocks = file["blocks"];
    ASSERT_EQ(blocks.items.size(), 3U);
    int64_t sum = 0;
    for (size_t b = 0; b < 3; ++b) {
        EXPECT_EQ(blocks[b]["offset"].integer(), static_cast<int64_t>(b) * 32767);
        EXPECT_EQ(blocks[b]["stored"].boolean, b == 2);
        sum += b == 2 ? blocks[b]["input_bytes"].integer()
                      : blocks[b]["results"][0]["rod_bytes"].integer();
    }
    EXPECT_EQ(blocks[2]["input_bytes"].integer(), 50);
    EXPECT_EQ(file["results"][0]["rod_bytes"].integer(), sum);
    EXPECT_EQ(file["zstd_bytes"].integer(), baseline_bytes(Baseline::Zstd, bytes));
    const test::CliOutput table =
        test::run_cli_in(dir.path(), {"study", "-r", "2", "--baseline", "none", "large"});
    EXPECT_TRUE(std::regex_search(table.out, std::regex("\n +in 3 blocks of up to 32767 bytes, "
                                                        "packed one by one; the last \\(50 "
                                                        "bytes\\) stored as it is\n")))
        << table.out;
}

// --trace: the passes of every run (a file in blocks: of every block) in the document, and the
// same passes one per line in CSV.
TEST_F(CliExploreJson, StudyTrace) {
    Bytes large = test::sparse_bytes(32767 + 3000, 6);
    test::write_file(dir / "large", large);
    test::write_file(dir / "sparse", kSparse);
    const std::vector<std::string> args = {"-r",      "2,3",    "--baseline", "none",
                                           "--trace", "sparse", "large"};
    std::vector<std::string> json_args = {"study", "--json"};
    json_args.insert(json_args.end(), args.begin(), args.end());
    const Json doc = run(json_args, 0);
    size_t passes = 0;
    const auto count = [&](const Json& result) {
        const Json& trace = result["trace"];
        EXPECT_FALSE(trace["cycles"].items.empty());
        EXPECT_EQ(trace["passes"][0]["pass"].integer(), 1);
        EXPECT_EQ(trace["passes"][0]["fate"].text, "kept");
        passes += trace["passes"].items.size();
    };
    for (const Json& r : doc["files"][0]["results"].items)
        count(r);
    for (const Json& b : doc["files"][1]["blocks"].items) {
        for (const Json& r : b["results"].items)
            count(r);
    }
    EXPECT_FALSE(doc["files"][1]["results"][0].has("trace"));  // sums have none
    std::vector<std::string> csv_args = {"study", "--csv"};
    csv_args.insert(csv_args.end(), args.begin(), args.end());
    const test::CliOutput csv = test::run_cli_in(dir.path(), csv_args);
    EXPECT_EQ(csv.status, 0);
    EXPECT_EQ(static_cast<size_t>(std::count(csv.out.begin(), csv.out.end(), '\n')), 1 + passes);
    EXPECT_NE(csv.out.find("\nlarge,1,3,1,on,no,2,1,1,"), std::string::npos);
}

// The baselines asked for, and only those, beside the settings; the verdicts against the smallest
// compressor's file, never against the entropy.
TEST_F(CliExploreJson, StudyBaselines) {
    const Bytes text = test::text_bytes(3000);
    test::write_file(dir / "text", text);
    const struct {
        const char* list;
        std::vector<Baseline> shown;
    } cases[] = {
        {"xz,entropy", {Baseline::Xz, Baseline::Entropy}},
        {"entropy,zlib,zlib", {Baseline::Zlib, Baseline::Entropy}},
        {"none", {}},
        {"entropy", {Baseline::Entropy}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.list);
        const Json doc = run({"study", "--json", "-r", "2", "--baseline", c.list, "text"}, 0);
        const Json& file = doc["files"][0];
        std::optional<Baseline> smallest;
        for (const Baseline b : kBaselines) {
            const std::string name(baseline_name(b));
            const bool shown = std::ranges::find(c.shown, b) != c.shown.end();
            ASSERT_EQ(file.has(name + "_bytes"), shown) << name;
            ASSERT_EQ(doc.has(name + "_total"), shown) << name;
            if (!shown) continue;
            EXPECT_EQ(file[name + "_bytes"].integer(), baseline_bytes(b, text)) << name;
            EXPECT_EQ(doc[name + "_total"]["output_bytes"].integer(), baseline_bytes(b, text));
            if (baseline_is_compressor(b) &&
                (!smallest || baseline_bytes(b, text) < baseline_bytes(*smallest, text)))
                smallest = b;
        }
        const int64_t rod = file["results"][0]["rod_bytes"].integer();
        for (const Json* verdict : {&file["verdict"], &doc["verdict"]}) {
            ASSERT_EQ(verdict->kind == Json::Kind::Null, !smallest);
            if (!smallest) continue;
            EXPECT_EQ((*verdict)["baseline"].text, baseline_name(*smallest));
            EXPECT_EQ((*verdict)["rod_bytes"].integer(), rod);
            EXPECT_EQ((*verdict)["settings"].text, "-r 2 -d 1");
            // The scheme loses on text.
            EXPECT_EQ((*verdict)["text"].text.find("rod files are "), 0U);
            EXPECT_NE((*verdict)["text"].text.find(" % larger than "), std::string::npos);
        }
    }
}

}  // namespace
}  // namespace quorvane
