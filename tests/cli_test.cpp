// quorvane-cli golden cases (command line, exit status, folder afterwards, messages) and signals.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <random>
#include <regex>
#include <string>
#include <thread>

#include "tests/test_support.h"
#include "tests/zlib_reference.h"

#ifndef QUORVANE_CLI
#error "QUORVANE_CLI must name the built quorvane-cli"
#endif

namespace quorvane {
namespace {

using Bytes = std::vector<uint8_t>;
using Files = std::map<std::string, Bytes>;

// Starts quorvane-cli in folder with its output going to out and err; returns its process id.
pid_t start_cli(const std::filesystem::path& folder, const std::vector<std::string>& args,
                const std::filesystem::path& out, const std::filesystem::path& err) {
    std::vector<char*> argv;
    std::string program = QUORVANE_CLI;
    argv.push_back(program.data());
    std::vector<std::string> copies = args;
    for (auto& arg : copies)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int out_fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err_fd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out_fd < 0 || err_fd < 0 || ::chdir(folder.c_str()) != 0) ::_exit(127);
        ::dup2(out_fd, STDOUT_FILENO);
        ::dup2(err_fd, STDERR_FILENO);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    return pid;
}

// The exit status, or -1 when the process did not end by exiting.
int wait_for(pid_t pid) {
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

std::string text_of(const std::filesystem::path& path) {
    const Bytes bytes = test::read_file(path);
    return {bytes.begin(), bytes.end()};
}

Bytes bytes_of(std::string_view text) {
    return {text.begin(), text.end()};
}

Files folder_content(const test::TempDir& dir) {
    Files files;
    for (const auto& name : dir.files())
        files[name] = test::read_file(dir / name);
    return files;
}

const Bytes kText = test::text_bytes(3000);
const Bytes kTextZ = test::zlib_reference(kText, 9);
const Bytes kCut(kTextZ.begin(), kTextZ.begin() + static_cast<ptrdiff_t>(kTextZ.size() / 2));
const Bytes kJunk = bytes_of("this is not a zlib stream");
const Bytes kOld = bytes_of("old");

struct CliCase {
    std::string name;
    std::vector<std::string> args;
    Files given;
    int status;
    Files expected;        // the whole folder afterwards
    std::string err;       // a pattern for all of stderr
    std::string out = "";  // a pattern for all of stdout
};

const std::string kTryHelp = R"(Try 'quorvane-cli --help'\.
)";
const std::string kHelp = R"(Usage: quorvane-cli COMMAND \[OPTIONS\] FILE\.\.\.

Commands:
  compress +\[-f\] \[-o PATH\] FILE\.\.\. +\S.*
  decompress +\[-f\] \[-o PATH\] FILE\.zlib\.\.\. +\S.*

Options:
(  -.*
)+
[^]*)";

std::string usage_error(const std::string& message) {
    return std::string("quorvane-cli: ").append(message).append("\n").append(kTryHelp);
}

std::vector<CliCase> cli_cases() {
    const Files text{{"a.txt", kText}};
    const Files both{{"a.txt", kText}, {"a.txt.zlib", kTextZ}};
    const Files stale{{"a.txt", kText}, {"a.txt.zlib", kOld}};
    const Files packed{{"a.txt.zlib", kTextZ}};
    return {
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
         "quorvane-cli: nope\\.txt: Cannot open file nope\\.txt\n"},
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
        {"DecompressRestores", {"decompress", "a.txt.zlib"}, packed, 0, both, ""},
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
         "quorvane-cli: nope\\.zlib: Cannot open file nope\\.zlib\n"},
        {"Help", {"--help"}, text, 0, text, "", kHelp},
        {"HelpOfCommand", {"decompress", "-h"}, text, 0, text, "", kHelp},
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
}

void PrintTo(const CliCase& c, std::ostream* os) {
    *os << c.name;
}

class CliGolden : public testing::TestWithParam<CliCase> {};

TEST_P(CliGolden, Run) {
    const CliCase& c = GetParam();
    test::TempDir dir;
    test::TempDir captured;
    for (const auto& [name, bytes] : c.given)
        test::write_file(dir / name, bytes);
    const pid_t pid = start_cli(dir.path(), c.args, captured / "out", captured / "err");
    ASSERT_GT(pid, 0);
    EXPECT_EQ(wait_for(pid), c.status);
    EXPECT_EQ(folder_content(dir), c.expected);
    const std::string err = text_of(captured / "err");
    const std::string out = text_of(captured / "out");
    EXPECT_TRUE(std::regex_match(err, std::regex(c.err))) << "stderr:\n" << err;
    EXPECT_TRUE(std::regex_match(out, std::regex(c.out))) << "stdout:\n" << out;
}

INSTANTIATE_TEST_SUITE_P(Cases, CliGolden, testing::ValuesIn(cli_cases()),
                         [](const auto& info) { return info.param.name; });

// Opens the writing end of a FIFO once the process reading it has opened its end.
int open_fifo_writer(const std::filesystem::path& fifo, pid_t reader) {
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) {
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
            return fd;
        }
        int status = 0;
        if (errno != ENXIO || ::waitpid(reader, &status, WNOHANG) == reader) return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return -1;
}

class CliSignal : public testing::TestWithParam<std::pair<int, int>> {};

TEST_P(CliSignal, EndsWithoutLeavingTemporaryFiles) {
    const auto [signal_number, expected_status] = GetParam();
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
    EXPECT_EQ(dir.files().size(), 3U) << "no temporary file beside big.zlib";

    ASSERT_EQ(::kill(pid, signal_number), 0);
    EXPECT_EQ(wait_for(pid), expected_status);
    ::close(fifo);
    ::signal(SIGPIPE, old_pipe_handler);

    EXPECT_EQ(dir.files(), (std::vector<std::string>{"big", "big.zlib"}));
    EXPECT_EQ(test::read_file(dir / "big.zlib"), kOld);
}

INSTANTIATE_TEST_SUITE_P(Signals, CliSignal,
                         testing::Values(std::pair{SIGINT, 130}, std::pair{SIGTERM, 143}),
                         [](const auto& info) {
                             return std::string(info.param.first == SIGINT ? "SIGINT" : "SIGTERM");
                         });

}  // namespace
}  // namespace quorvane
