// quorvane-cli and the files around a run: the integrity trailer, devices and FIFOs, standard
// output, two runs racing for one output, and names.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "run/run_driver.h"
#include "tests/cli_support.h"
#include "tests/test_support.h"
#include "tests/zlib_reference.h"

namespace quorvane {
namespace {

using test::Bytes;
using test::CliCase;
using test::Files;

const Bytes kText = test::text_bytes(3000);
const Bytes kTextZ = test::zlib_reference(kText, 9);
const Bytes kSparse = test::sparse_bytes(3000, 21);

// The rod file the engine writes for input, with or without its integrity trailer.
Bytes rod_of(const Bytes& input, bool check) {
    test::TempDir dir;
    test::write_file(dir / "in", input);
    RunSettings settings;
    SilentFrontEnd ui;
    Engine e(settings, ui);
    EXPECT_EQ(load_file(e, (dir / "in").string()), LoadResult::Accepted);
    RunOptions options;
    options.integrity_check = check;
    EXPECT_EQ(ProcessRun(e, false, options).outcome, RunOutcome::Written);
    return test::read_file(dir / "in.rod");
}

const Bytes kRod = rod_of(kSparse, true);
const Bytes kBareRod = rod_of(kSparse, false);

std::vector<CliCase> file_cases() {
    Bytes damaged = kRod;
    damaged[damaged.size() / 2] ^= 0x04;
    Bytes twice = kTextZ;
    twice.insert(twice.end(), kTextZ.begin(), kTextZ.end());
    const std::string long_name(250, 'z');
    const Files text{{"a", kText}};
    return {
        {"PackWritesTheTrailer",
         {"pack", "s"},
         {{"s", kSparse}},
         0,
         {{"s", kSparse}, {"s.rod", kRod}},
         ""},
        {"PackNoCheckWritesTheStreamAlone",
         {"pack", "--no-check", "s"},
         {{"s", kSparse}},
         0,
         {{"s", kSparse}, {"s.rod", kBareRod}},
         ""},
        {"DamagedFileIsAChecksumMismatch",
         {"unpack", "s.rod"},
         {{"s.rod", damaged}},
         1,
         {{"s.rod", damaged}},
         "quorvane-cli: s\\.rod: checksum mismatch\n"},
        {"UnpackSaysWhenAFileCarriesNoCheck",
         {"unpack", "-v", "s.rod"},
         {{"s.rod", kBareRod}},
         0,
         {{"s", kSparse}, {"s.rod", kBareRod}},
         "[^]*quorvane-cli: s\\.rod: carries no integrity check; restored unverified\n[^]*"},
        {"DevNullWrittenInPlace", {"compress", "-o", "/dev/null", "a"}, text, 0, text, ""},
        {"FolderRefused",
         {"compress", "-f", "-o", ".", "a"},
         text,
         2,
         text,
         "quorvane-cli: \\.: is a directory; not replaced\n"},
        {"FullDeviceNamesOutputAndReason",
         {"compress", "-o", "/dev/full", "a"},
         text,
         2,
         text,
         "quorvane-cli: a: Cannot write file /dev/full: No space left on device\n"},
        {"ControlCharactersEscaped",
         {"compress", "a\nb\x1b"},
         {},
         2,
         {},
         "quorvane-cli: a\\\\nb\\\\x1b: Cannot open file a\\\\nb\\\\x1b: No such file or "
         "directory\n"},
        {"DataAfterTheZlibStream",
         {"decompress", "t.zlib"},
         {{"t.zlib", twice}},
         0,
         {{"t", kText}, {"t.zlib", twice}},
         "quorvane-cli: t\\.zlib: warning: data after the end of the zlib stream ignored\n"},
        {"LongOutputName",
         {"compress", "-o", long_name, "a"},
         text,
         0,
         {{"a", kText}, {long_name, kTextZ}},
         ""},
    };
}

class CliFiles : public testing::TestWithParam<CliCase> {};

TEST_P(CliFiles, Run) {
    test::check_golden(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Cases, CliFiles, testing::ValuesIn(file_cases()),
                         [](const auto& info) { return info.param.name; });

// Runs the program in dir and returns its exit status and standard output.
std::pair<int, std::string> run_cli(const test::TempDir& dir, const std::vector<std::string>& args,
                                    const std::filesystem::path& out = {}) {
    test::TempDir captured;
    const std::filesystem::path to = out.empty() ? captured / "out" : out;
    const int status = test::wait_for(test::start_cli(dir.path(), args, to, captured / "err"));
    return {status, out.empty() ? test::text_of(to) : std::string()};
}

TEST(CliOutput, TwoRunsForOneOutputExactlyOneWins) {
    const Bytes input = test::sparse_bytes(20000, 5);
    for (int attempt = 0; attempt < 3; ++attempt) {
        test::TempDir dir;
        test::TempDir captured;
        test::write_file(dir / "in", input);
        std::vector<pid_t> runs;
        for (const char* err : {"err1", "err2"}) {
            runs.push_back(test::start_cli(dir.path(), {"pack", "-q", "-o", "out.rod", "in"},
                                           captured / "out", captured / err));
        }
        std::vector<int> statuses;
        for (const pid_t pid : runs)
            statuses.push_back(test::wait_for(pid));
        std::sort(statuses.begin(), statuses.end());
        EXPECT_EQ(statuses, (std::vector<int>{0, 2}));
        EXPECT_EQ(dir.files(), (std::vector<std::string>{"in", "out.rod"}));
    }
}

TEST(CliOutput, FifoIsWrittenNotReplaced) {
    test::TempDir dir;
    test::write_file(dir / "a", kText);
    ASSERT_EQ(::mkfifo((dir / "out").c_str(), 0600), 0);
    // Opened without waiting for a writer, so that a FIFO replaced by a file fails the test
    // instead of hanging it.
    const int fifo = ::open((dir / "out").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(fifo, 0);
    test::TempDir captured;
    const pid_t pid = test::start_cli(dir.path(), {"compress", "-f", "-o", "out", "a"},
                                      captured / "out", captured / "err");
    Bytes got;
    int status = 0;
    bool ended = false;
    for (int tries = 0; tries < 5000 && !ended; ++tries) {
        uint8_t buffer[4096];
        const ssize_t n = ::read(fifo, buffer, sizeof buffer);
        if (n > 0) got.insert(got.end(), buffer, buffer + n);
        if (n == 0 && !got.empty()) break;
        ended = n <= 0 && ::waitpid(pid, &status, WNOHANG) == pid;
        if (n <= 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ::close(fifo);
    if (!ended) ::waitpid(pid, &status, 0);
    EXPECT_EQ(got, kTextZ);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(std::filesystem::is_fifo(dir / "out"));
}

TEST(CliOutput, StandardOutput) {
    test::TempDir dir;
    test::write_file(dir / "s", kSparse);
    EXPECT_EQ(run_cli(dir, {"pack", "-c", "s"}),
              std::pair(0, std::string(kRod.begin(), kRod.end())));
    // Refused on a terminal, and a help that cannot be written is a failure.
    const int terminal = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(terminal, 0);
    ASSERT_EQ(::grantpt(terminal) | ::unlockpt(terminal), 0);
    EXPECT_EQ(run_cli(dir, {"pack", "-c", "s"}, ::ptsname(terminal)).first, 2);
    ::close(terminal);
    EXPECT_EQ(run_cli(dir, {"--help"}, "/dev/full").first, 2);
    EXPECT_EQ(dir.files(), std::vector<std::string>{"s"});
}

}  // namespace
}  // namespace quorvane
