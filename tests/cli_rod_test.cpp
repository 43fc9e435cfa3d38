// quorvane-cli pack, unpack and test: golden cases and an interrupted pack.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <random>

#include "rodfile/rod_trailer.h"
#include "tests/cli_support.h"
#include "tests/json_reader.h"
#include "tests/test_support.h"

namespace quorvane {
namespace {

using test::Bytes;
using test::CliCase;
using test::CliGolden;
using test::Files;
using test::usage_error;

// The rod files the engine itself writes (empty when it writes none, which fails the cases).
using test::pack_bytes;

const Bytes kSparse = test::sparse_bytes(3000, 21);
const Bytes kSparseRod = pack_bytes(kSparse);
const Bytes kSparseRodR5Raw = pack_bytes(kSparse, [](SettingTexts& s) {
    s.set(Setting::RodSize, "5");
    s.set(Setting::Lz77, "");
    s.set(Setting::LoopMode, std::string(kSingleCycles));
});
// The rod stream alone, without the integrity trailer; and one damaged behind its trailer.
const Bytes kSparseBare(kSparseRod.begin(), kSparseRod.end() - kTrailerBytes);
const Bytes kSparseDamaged = [] {
    Bytes rod = kSparseRod;
    rod[rod.size() / 2] ^= 0x04;
    return rod;
}();
const Bytes kZeros(5000, 0);
const Bytes kOld = test::bytes_of("old");
const Bytes kNoise =
    test::bytes_of("no rod stream at all, but long enough to be read as one ........");
const std::string kFailure =
    "This attempt to restore a fractalized file has failed You either used a corrupted file or "
    "did something illegal This vexion mechanism can not see ramdomly created wholes Please "
    "contakt Korrindal for details to resolve this problem";

std::vector<CliCase> rod_cases() {
    const Files sparse{{"s.bin", kSparse}};
    const Files packed{{"s.bin", kSparse}, {"s.bin.rod", kSparseRod}};
    const Files rod_only{{"s.bin.rod", kSparseRod}};
    const std::string limit = "quorvane-cli: -: Quorvane Limit: 83 Bytes < File > 32 KBytes\n";
    return {
        {"PackWritesRod", {"pack", "s.bin"}, sparse, 0, packed, ""},
        {"PackWithSettings",
         {"pack", "-r", "5", "--no-lz77", "--single", "s.bin"},
         sparse,
         0,
         {{"s.bin", kSparse}, {"s.bin.rod", kSparseRodR5Raw}},
         ""},
        {"PackRefusesExistingOutput",
         {"pack", "s.bin"},
         {{"s.bin", kSparse}, {"s.bin.rod", kOld}},
         2,
         {{"s.bin", kSparse}, {"s.bin.rod", kOld}},
         "quorvane-cli: s\\.bin\\.rod: already exists; use -f to replace it\n"},
        {"PackForceReplaces",
         {"pack", "-f", "s.bin"},
         {{"s.bin", kSparse}, {"s.bin.rod", kOld}},
         0,
         packed,
         ""},
        {"PackToOutput",
         {"pack", "-o", "x", "s.bin"},
         sparse,
         0,
         {{"s.bin", kSparse}, {"x", kSparseRod}},
         ""},
        {"PackSizeLimit",
         {"pack", "small"},
         {{"small", Bytes(81, 1)}},
         2,
         {{"small", Bytes(81, 1)}},
         "quorvane-cli: small: Quorvane Limit: 83 Bytes < File > 32 KBytes\n"},
        {"PackNotSuccessful",
         {"pack", "zeros"},
         {{"zeros", kZeros}},
         1,
         {{"zeros", kZeros}},
         "quorvane-cli: zeros: Vexion Mode  : Not Succesfull\n"},
        {"PackRodFileFurther",
         {"pack", "s.bin.rod"},
         rod_only,
         0,
         {{"s.bin.rod", kSparseRod}, {"s.bin.rod.rod", pack_bytes(kSparseRod)}},
         ""},
        {"PackVerbose",
         {"pack", "-v", "s.bin"},
         sparse,
         0,
         packed,
         "s\\.bin:\n  Bits Input   : 24000\n[^]*  Vexion Mode  : Succesfull\n[^]*"
         "  Low rods     : [1-9][0-9]*\n  High rods    : [0-9]+\n[^]*"
         "quorvane-cli: s\\.bin: 3000 -> " +
             std::to_string(kSparseRod.size()) + " bytes, wrote s\\.bin\\.rod\n"},
        {"UnpackRestores", {"unpack", "s.bin.rod"}, rod_only, 0, packed, ""},
        // Standard input, read whole up to one byte past the limit.
        {"PackPipeNamedDash",
         {"pack", "-o", "x", "-"},
         {},
         0,
         {{"x", kSparseRod}},
         "",
         "",
         kSparse},
        {"TestPipeWhenNoFileIsNamed",
         {"test", "-v"},
         {},
         0,
         {},
         "[^]*quorvane-cli: -: " + std::to_string(kSparseRod.size()) + " -> 3000 bytes, restores\n",
         "",
         kSparseRod},
        {"PackEmptyPipe", {"pack", "-c"}, {}, 2, {}, limit, "", Bytes{}},
        {"PackPipeLongerThanTheLimit",
         {"pack", "-c"},
         {},
         2,
         {},
         limit,
         "",
         test::sparse_bytes(40000, 3)},
        {"PackPipeNeedsAnOutputName",
         {"pack", "-"},
         {},
         2,
         {},
         usage_error("no output name comes from standard input \\('-'\\); give -o PATH or -c"),
         "",
         kSparse},
        {"PackNoCheckWritesTheStreamAlone",
         {"pack", "--no-check", "s.bin"},
         sparse,
         0,
         {{"s.bin", kSparse}, {"s.bin.rod", kSparseBare}},
         ""},
        {"UnpackDamagedIsAChecksumMismatch",
         {"unpack", "s.rod"},
         {{"s.rod", kSparseDamaged}},
         1,
         {{"s.rod", kSparseDamaged}},
         "quorvane-cli: s\\.rod: checksum mismatch\n"},
        {"UnpackSaysWhenAFileCarriesNoCheck",
         {"unpack", "-v", "s.rod"},
         {{"s.rod", kSparseBare}},
         0,
         {{"s", kSparse}, {"s.rod", kSparseBare}},
         "[^]*quorvane-cli: s\\.rod: carries no integrity check; restored unverified\n[^]*"},
        {"UnpackWithSettings",
         {"unpack", "--rod-size=5", "--no-lz77", "-o", "back", "r5.rod"},
         {{"r5.rod", kSparseRodR5Raw}},
         0,
         {{"r5.rod", kSparseRodR5Raw}, {"back", kSparse}},
         ""},
        {"UnpackWithOtherSettingsFails",
         {"unpack", "--no-lz77", "s.bin.rod"},
         rod_only,
         1,
         rod_only,
         "quorvane-cli: s\\.bin\\.rod: " + kFailure +
             "\nquorvane-cli: s\\.bin\\.rod: restored with rod size 2 and LZ77 off; a rod file "
             "records neither: try the settings it was packed with\n"},
        {"UnpackCorruptKeepsExistingOutput",
         {"unpack", "-f", "n.rod"},
         {{"n", kOld}, {"n.rod", kNoise}},
         1,
         {{"n", kOld}, {"n.rod", kNoise}},
         "quorvane-cli: n\\.rod: buffer error\n"},
        {"UnpackRefusesOtherNames",
         {"unpack", "s.bin.ROD"},
         {{"s.bin.ROD", kSparseRod}},
         2,
         {{"s.bin.ROD", kSparseRod}},
         "quorvane-cli: s\\.bin\\.ROD: name does not end in \\.rod; not unpacked\n"},
        {"TestWritesNothing",
         {"test", "-v", "s.bin.rod"},
         rod_only,
         0,
         rod_only,
         "s\\.bin\\.rod:\n[^]*Vexion Mode  : Testing only\n[^]*"
         "  Low rods     : [1-9][0-9]*\n  High rods    : [0-9]+\n[^]*quorvane-cli: "
         "s\\.bin\\.rod: " +
             std::to_string(kSparseRod.size()) + " -> 3000 bytes, restores\n"},
        {"TestGoesOnAfterAFailure",
         {"test", "n.rod", "s.bin.rod"},
         {{"n.rod", kNoise}, {"s.bin.rod", kSparseRod}},
         1,
         {{"n.rod", kNoise}, {"s.bin.rod", kSparseRod}},
         "quorvane-cli: n\\.rod: buffer error\n"},
        {"TestTakesNoOutput",
         {"test", "-o", "x", "s.bin.rod"},
         rod_only,
         2,
         rod_only,
         usage_error("-o and -f do not apply to 'test'")},
        {"RodSizeOutOfRange",
         {"pack", "-r", "129", "s.bin"},
         sparse,
         2,
         sparse,
         usage_error("invalid value '129' for -r \\(2\\.\\.128\\)")},
        {"DepthNotANumber",
         {"pack", "--depth", "x", "s.bin"},
         sparse,
         2,
         sparse,
         usage_error("invalid value 'x' for --depth \\(1\\.\\.60\\)")},
        {"LoopsCheckedBeforeAnyWork",
         {"pack", "--loops", "abc", "s.bin", "missing"},
         sparse,
         2,
         sparse,
         usage_error("'abc' is not a valid integer value")},
        {"RodOptionsOnlyForRodCommands",
         {"compress", "-r", "3", "s.bin"},
         sparse,
         2,
         sparse,
         usage_error("unknown option '-r'")},
    };
}

INSTANTIATE_TEST_SUITE_P(Rod, CliGolden, testing::ValuesIn(rod_cases()), test::golden_name);

// The rod counts -v prints are the cycle's counts over all its passes: pack counts them as the
// passes run, test reads them back from the header, info shows the header; all three agree.
TEST(CliRodCounts, VerboseCountsAreTheHeaders) {
    const std::vector<std::vector<std::string>> settings = {{}, {"-r", "5", "--no-lz77"}};
    for (const std::vector<std::string>& rod : settings) {
        test::TempDir dir;
        test::write_file(dir / "s.bin", kSparse);
        std::vector<std::string> pack = {"pack", "-v", "--single"};
        std::vector<std::string> check = {"test", "-v"};
        for (const std::string& arg : rod) {
            pack.push_back(arg);
            check.push_back(arg);
        }
        pack.push_back("s.bin");
        check.push_back("s.bin.rod");
        const test::CliOutput packed = test::run_cli_in(dir.path(), pack);
        ASSERT_EQ(packed.status, 0) << packed.err;
        const test::CliOutput tested = test::run_cli_in(dir.path(), check);
        ASSERT_EQ(tested.status, 0) << tested.err;
        const test::CliOutput info = test::run_cli_in(dir.path(), {"info", "--json", "s.bin.rod"});
        const test::Json file = test::parse_json(info.out)["files"][0];
        const int64_t low = file["header"]["LowRods"].integer();
        const int64_t high = file["HighRods"].integer();
        // Thousands of passes over rods mostly kept whole.
        EXPECT_GT(high, 100 * low) << "rod size " << (rod.empty() ? "2" : rod[1]);
        const std::string counts = "  Low rods     : " + std::to_string(low) +
                                   "\n  High rods    : " + std::to_string(high) + "\n";
        EXPECT_NE(packed.err.find(counts), std::string::npos) << packed.err << counts;
        EXPECT_NE(tested.err.find(counts), std::string::npos) << tested.err << counts;
    }
}

// Every kernel path (QUORVANE_KERNELS caps the one the processor would pick) writes the same rod
// file byte for byte and restores it, on dense and on zero-heavy data; a path the processor lacks,
// or a word that names none, leaves the fastest.
TEST(CliRodKernels, EveryPathWritesTheSameRod) {
    std::mt19937 rng(23);
    const Files inputs{{"dense.bin", test::random_bytes(rng, 6000)}, {"sparse.bin", kSparse}};
    const std::vector<std::vector<std::string>> settings = {
        {}, {"-r", "3", "--no-lz77"}, {"-r", "8"}};
    for (const std::vector<std::string>& rod : settings) {
        test::TempDir dir;
        for (const auto& [name, bytes] : inputs)
            test::write_file(dir / name, bytes);
        std::map<std::string, Bytes> rods;  // by path, then file
        for (const char* path : {"", "portable", "bmi2", "avx512", "nonsense"}) {
            if (*path != '\0') setenv("QUORVANE_KERNELS", path, 1);
            for (const auto& [name, bytes] : inputs) {
                std::vector<std::string> pack = {"pack", "-f", "-o", name + ".rod"};
                pack.insert(pack.end(), rod.begin(), rod.end());
                pack.push_back(name);
                const test::CliOutput packed = test::run_cli_in(dir.path(), pack);
                std::vector<std::string> unpack = {"unpack", "-c"};
                unpack.insert(unpack.end(), rod.begin(), rod.end());
                unpack.push_back(name + ".rod");
                const test::CliOutput unpacked = test::run_cli_in(dir.path(), unpack);
                unsetenv("QUORVANE_KERNELS");
                ASSERT_EQ(packed.status, 0) << path << " " << name << packed.err;
                ASSERT_EQ(unpacked.status, 0) << path << " " << name << unpacked.err;
                EXPECT_EQ(test::bytes_of(unpacked.out), bytes) << path << " " << name;
                const Bytes written = test::bytes_of(test::text_of(dir / (name + ".rod")));
                if (*path == '\0') {
                    rods[name] = written;
                } else {
                    EXPECT_EQ(written, rods[name]) << path << " " << name;
                }
            }
        }
    }
}

// Ctrl-C in the middle of pack: exit status 130, no temporary file, no output. The input is a
// FIFO named like a rod file (packed further without the size test), held open by the test, so
// the command is certainly still running when the signal comes.
TEST(CliRodSignal, InterruptedPackLeavesNothing) {
    test::TempDir dir;
    test::TempDir captured;
    ASSERT_EQ(::mkfifo((dir / "big.rod").c_str(), 0600), 0);
    const auto old_pipe_handler = ::signal(SIGPIPE, SIG_IGN);
    const pid_t pid =
        test::start_cli(dir.path(), {"pack", "big.rod"}, captured / "out", captured / "err");
    ASSERT_GT(pid, 0);
    const int fifo = test::open_fifo_writer(dir / "big.rod", pid);
    ASSERT_GE(fifo, 0);
    const Bytes chunk = test::sparse_bytes(60000, 4);
    ASSERT_EQ(::write(fifo, chunk.data(), chunk.size()), static_cast<ssize_t>(chunk.size()));
    ASSERT_EQ(::kill(pid, SIGINT), 0);
    EXPECT_EQ(test::wait_for(pid), 130);
    ::close(fifo);
    ::signal(SIGPIPE, old_pipe_handler);
    EXPECT_EQ(dir.files(), std::vector<std::string>{"big.rod"});
}

}  // namespace
}  // namespace quorvane
