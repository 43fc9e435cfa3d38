// quorvane-cli golden cases (command line, exit status, folder afterwards, messages) and signals.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <map>
#include <random>
#include <string>
#include <thread>

#include "tests/cli_support.h"
#include "tests/test_support.h"
#include "tests/zlib_reference.h"

namespace quorvane {
namespace {

using test::Bytes;
using test::bytes_of;
using test::CliCase;
using test::CliGolden;
using test::Files;
using test::folder_content;
using test::open_fifo_writer;
using test::start_cli;
using test::text_of;
using test::usage_error;
using test::wait_for;

const Bytes kText = test::text_bytes(3000);
const Bytes kTextZ = test::zlib_reference(kText, 9);
const Bytes kCut(kTextZ.begin(), kTextZ.begin() + static_cast<ptrdiff_t>(kTextZ.size() / 2));
const Bytes kJunk = bytes_of("this is not a zlib stream");
const Bytes kOld = bytes_of("old");
const Bytes kTextZTwice = [] {
    Bytes twice = kTextZ;
    twice.insert(twice.end(), kTextZ.begin(), kTextZ.end());
    return twice;
}();
const std::string kLongName(250, 'z');

const std::string kHelp = R"(Usage: quorvane-cli COMMAND \[OPTIONS\] FILE\.\.\.

Commands:
  pack +\[options\] FILE\.\.\. +\S.*
  unpack +\[options\] FILE\.rod\.\.\. +\S.*
  test +\[options\] FILE\.rod\.\.\. +\S.*
  compress +\[-f\] \[-o PATH\] FILE\.\.\. +\S.*
  decompress +\[-f\] \[-o PATH\] FILE\.zlib\.\.\. +\S.*
  info +\[--json\] FILE\.rod\.\.\. +\S.*
  detect +\[--json\] FILE\.rod\.\.\. +\S.*
  study +\[options\] FILE\.\.\. +\S.*

Options:
(  -.*
)+
[^]*)";

// One command's help: its usage line, then lines of at most 80 columns.
std::string command_help(const std::string& command) {
    return "(?=Usage: quorvane-cli " + command + " )([^\\n]{0,80}\n)+";
}

std::vector<CliCase> cli_cases() {
    const Files text{{"a.txt", kText}};
    const Files both{{"a.txt", kText}, {"a.txt.zlib", kTextZ}};
    const Files stale{{"a.txt", kText}, {"a.txt.zlib", kOld}};
    const Files packed{{"a.txt.zlib", kTextZ}};
    std::vector<CliCase> cases{
        {"CompressWritesZlib", {"compress", "a.txt"}, text, 0, both, ""},
        {"CompressRefusesExistingOutput",
         {"compress", "a.txt"},
         stale,
         2,
         stale,
         "quorvane-cli: a\\.txt\\.zlib: already exists; use -f to replace it\n"},
        {"CompressForceReplaces", {"compress", "-f", "a.txt"}, stale, 0, both, ""},
        {"CompressToOutput",
         {"compress", "-o", "out.bin", "a.txt"},
         text,
         0,
         {{"a.txt", kText}, {"out.bin", kTextZ}},
         ""},
        {"CompressBundledForceAndOutput",
         {"compress", "-qfoout.bin", "a.txt"},
         {{"a.txt", kText}, {"out.bin", kOld}},
         0,
         {{"a.txt", kText}, {"out.bin", kTextZ}},
         ""},
        {"CompressOutputWithSeveralInputs",
         {"compress", "--output=x", "a.txt", "a.txt"},
         text,
         2,
         text,
         usage_error("-o can only be used with one input")},
        {"CompressMissingInput",
         {"compress", "nope.txt", "a.txt"},
         text,
         2,
         both,
         "quorvane-cli: nope\\.txt: Cannot open file nope\\.txt: No such file or directory\n"},
        {"CompressNameAfterDoubleDash",
         {"compress", "--", "-f"},
         {{"-f", kText}},
         0,
         {{"-f", kText}, {"-f.zlib", kTextZ}},
         ""},
        {"CompressVerbose",
         {"compress", "-v", "a.txt"},
         text,
         0,
         both,
         "quorvane-cli: a\\.txt: 3000 -> " + std::to_string(kTextZ.size()) +
             " bytes, wrote a\\.txt\\.zlib\n"},
        {"CompressToDevNullInPlace", {"compress", "-o", "/dev/null", "a.txt"}, text, 0, text, ""},
        {"CompressToFolderRefused",
         {"compress", "-f", "-o", ".", "a.txt"},
         text,
         2,
         text,
         "quorvane-cli: \\.: is a directory; not replaced\n"},
        {"CompressToFullDeviceNamesOutputAndReason",
         {"compress", "-o", "/dev/full", "a.txt"},
         text,
         2,
         text,
         "quorvane-cli: a\\.txt: Cannot write file /dev/full: No space left on device\n"},
        {"CompressLongOutputName",
         {"compress", "-o", kLongName, "a.txt"},
         text,
         0,
         {{"a.txt", kText}, {kLongName, kTextZ}},
         ""},
        {"ControlCharactersEscaped",
         {"compress", "a\nb\x1b"},
         {},
         2,
         {},
         "quorvane-cli: a\\\\nb\\\\x1b: Cannot open file a\\\\nb\\\\x1b: No such file or "
         "directory\n"},
        {"DecompressRestores", {"decompress", "a.txt.zlib"}, packed, 0, both, ""},
        // Standard input: a pipe named "-", or read when no file is named and -c is given.
        {"CompressPipeNamedDash",
         {"compress", "-o", "t.zlib", "-"},
         {},
         0,
         {{"t.zlib", kTextZ}},
         "",
         "",
         kText},
        {"DecompressPipeWhenNoFileIsNamed",
         {"decompress", "-c"},
         {},
         0,
         {},
         "",
         test::literal(std::string(kText.begin(), kText.end())),
         kTextZ},
        {"DecompressPipeNeedsAnOutputName",
         {"decompress", "-"},
         {},
         2,
         {},
         usage_error("no output name comes from standard input \\('-'\\); give -o PATH or -c"),
         "",
         kTextZ},
        {"DecompressWarnsOfDataAfterTheStream",
         {"decompress", "t.zlib"},
         {{"t.zlib", kTextZTwice}},
         0,
         {{"t", kText}, {"t.zlib", kTextZTwice}},
         "quorvane-cli: t\\.zlib: warning: data after the end of the zlib stream ignored\n"},
        {"DecompressRefusesExistingOutput",
         {"decompress", "a.txt.zlib"},
         {{"a.txt", kOld}, {"a.txt.zlib", kTextZ}},
         2,
         {{"a.txt", kOld}, {"a.txt.zlib", kTextZ}},
         "quorvane-cli: a\\.txt: already exists; use -f to replace it\n"},
        {"DecompressForceReplaces",
         {"decompress", "--force", "a.txt.zlib"},
         {{"a.txt", kOld}, {"a.txt.zlib", kTextZ}},
         0,
         both,
         ""},
        {"DecompressToOutput",
         {"decompress", "a.txt.zlib", "-o", "b"},
         packed,
         0,
         {{"a.txt.zlib", kTextZ}, {"b", kText}},
         ""},
        {"DecompressCorruptKeepsExistingOutput",
         {"decompress", "-f", "bad.zlib"},
         {{"bad", kOld}, {"bad.zlib", kJunk}},
         1,
         {{"bad", kOld}, {"bad.zlib", kJunk}},
         "quorvane-cli: bad\\.zlib: data error\n"},
        {"DecompressTruncated",
         {"decompress", "cut.zlib"},
         {{"cut.zlib", kCut}},
         1,
         {{"cut.zlib", kCut}},
         "quorvane-cli: cut\\.zlib: unexpected end of file\n"},
        {"DecompressEmptyFile",
         {"decompress", "e.zlib"},
         {{"e.zlib", {}}},
         1,
         {{"e.zlib", {}}},
         "quorvane-cli: e\\.zlib: unexpected end of file\n"},
        {"DecompressRefusesOtherNames",
         {"decompress", "a.ZLIB"},
         {{"a.ZLIB", kTextZ}},
         2,
         {{"a.ZLIB", kTextZ}},
         "quorvane-cli: a\\.ZLIB: name does not end in \\.zlib; not decompressed\n"},
        {"DecompressGoesOnAfterBadData",
         {"decompress", "cut.zlib", "a.txt.zlib"},
         {{"a.txt.zlib", kTextZ}, {"cut.zlib", kCut}},
         1,
         {{"a.txt", kText}, {"a.txt.zlib", kTextZ}, {"cut.zlib", kCut}},
         "quorvane-cli: cut\\.zlib: unexpected end of file\n"},
        {"DecompressHighestStatusWins",
         {"decompress", "bad.zlib", "nope.zlib"},
         {{"bad.zlib", kJunk}},
         2,
         {{"bad.zlib", kJunk}},
         "quorvane-cli: bad\\.zlib: data error\n"
         "quorvane-cli: nope\\.zlib: Cannot open file nope\\.zlib: No such file or directory\n"},
        {"Help", {"--help"}, text, 0, text, "", kHelp},
        {"HelpOfCommand", {"decompress", "-h"}, text, 0, text, "", command_help("decompress")},
        {"HelpCommand", {"help"}, {}, 0, {}, "", kHelp},
        {"HelpOfUnknownCommand",
         {"help", "squeeze"},
         {},
         2,
         {},
         usage_error("unknown command 'squeeze'")},
        {"Version", {"-V"}, {}, 0, {}, "", "quorvane-cli 2\\.2\\.0\n"},
        {"NoArguments", {}, {}, 2, {}, kHelp},
        {"UnknownCommand",
         {"squeeze", "a.txt"},
         text,
         2,
         text,
         usage_error("unknown command 'squeeze'")},
        {"UnknownOption",
         {"compress", "-x", "a.txt"},
         text,
         2,
         text,
         usage_error("unknown option '-x'")},
        {"MissingOutputPath",
         {"compress", "a.txt", "-o"},
         text,
         2,
         text,
         usage_error("missing path after '-o'")},
        {"NoInputs",
         {"decompress", "-f"},
         {},
         2,
         {},
         usage_error("no input files for 'decompress'")},
    };
    // Every command's own help, asked for either way.
    for (const std::string command :
         {"pack", "unpack", "test", "compress", "decompress", "info", "detect", "study"}) {
        std::string name = command;
        name[0] = static_cast<char>(std::toupper(name[0]));
        cases.push_back(
            {"HelpOf" + name, {command, "--help"}, {}, 0, {}, "", command_help(command)});
        cases.push_back(
            {"HelpCommand" + name, {"help", command}, {}, 0, {}, "", command_help(command)});
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Cases, CliGolden, testing::ValuesIn(cli_cases()), test::golden_name);

// Every terminating signal that can be caught ends the program with 128 + its number; none, not
// even SIGKILL, leaves a temporary file.
class CliSignal : public testing::TestWithParam<int> {};

TEST_P(CliSignal, EndsWithoutLeavingTemporaryFiles) {
    const int signal_number = GetParam();
    const int expected_status = signal_number == SIGKILL ? -1 : 128 + signal_number;
    test::TempDir dir;
    test::TempDir captured;
    ASSERT_EQ(::mkfifo((dir / "big").c_str(), 0600), 0);
    test::write_file(dir / "big.zlib", kOld);
    // The test itself must survive writing to a reader that has gone.
    const auto old_pipe_handler = ::signal(SIGPIPE, SIG_IGN);

    const pid_t pid =
        start_cli(dir.path(), {"compress", "-f", "big"}, captured / "out", captured / "err");
    ASSERT_GT(pid, 0);
    const int fifo = open_fifo_writer(dir / "big", pid);
    ASSERT_GE(fifo, 0);
    // These writes only return once the command has read most of the bytes, so it is in the
    // middle of compressing: the input stays open, the command waits for more.
    std::mt19937 rng(17);
    const Bytes chunk = test::random_bytes(rng, 1 << 20);
    ASSERT_EQ(::write(fifo, chunk.data(), chunk.size()), static_cast<ssize_t>(chunk.size()));
    EXPECT_EQ(dir.files().size(), 2U) << "the temporary file has no name";

    ASSERT_EQ(::kill(pid, signal_number), 0);
    EXPECT_EQ(wait_for(pid), expected_status);
    ::close(fifo);
    ::signal(SIGPIPE, old_pipe_handler);

    EXPECT_EQ(dir.files(), (std::vector<std::string>{"big", "big.zlib"}));
    EXPECT_EQ(test::read_file(dir / "big.zlib"), kOld);
}

INSTANTIATE_TEST_SUITE_P(Signals, CliSignal,
                         testing::Values(SIGHUP, SIGINT, SIGTERM, SIGPIPE, SIGALRM, SIGUSR1,
                                         SIGUSR2, SIGXFSZ, SIGKILL),
                         [](const auto& info) { return std::string(sigabbrev_np(info.param)); });

}  // namespace
}  // namespace quorvane
