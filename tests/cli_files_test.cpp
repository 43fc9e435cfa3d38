// quorvane-cli and the outputs around a run: two runs racing for one output, a FIFO as output,
// standard output.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/cli_support.h"
#include "tests/test_support.h"
#include "tests/zlib_reference.h"

namespace quorvane {
namespace {

using test::Bytes;

// Runs the program in dir with its output going to out (a file of its own when empty); returns
// the exit status and that output.
std::pair<int, std::string> run_cli(const test::TempDir& dir, const std::vector<std::string>& args,
                                    const std::string& out = "") {
    test::TempDir captured;
    const auto to = out.empty() ? captured / "out" : std::filesystem::path(out);
    const int status = test::wait_for(test::start_cli(dir.path(), args, to, captured / "err"));
    return {status, out.empty() ? test::text_of(to) : ""};
}

TEST(CliOutput, TwoRunsForOneOutputExactlyOneWins) {
    test::TempDir dir;
    test::TempDir captured;
    test::write_file(dir / "in", test::sparse_bytes(20000, 5));
    std::vector<pid_t> runs;
    for (const char* err : {"err1", "err2"}) {
        runs.push_back(test::start_cli(dir.path(), {"pack", "-q", "-o", "out.rod", "in"},
                                       captured / "out", captured / err));
    }
    std::vector<int> statuses = {test::wait_for(runs[0]), test::wait_for(runs[1])};
    std::sort(statuses.begin(), statuses.end());
    EXPECT_EQ(statuses, (std::vector<int>{0, 2}));
    EXPECT_EQ(dir.files(), (std::vector<std::string>{"in", "out.rod"}));
}

TEST(CliOutput, FifoIsWrittenNotReplaced) {
    test::TempDir dir;
    const Bytes text = test::text_bytes(3000);
    test::write_file(dir / "a", text);
    ASSERT_EQ(::mkfifo((dir / "out").c_str(), 0600), 0);
    // Held open without waiting for a writer; the compressed bytes fit the pipe's buffer.
    const int fifo = ::open((dir / "out").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(fifo, 0);
    EXPECT_EQ(run_cli(dir, {"compress", "-f", "-o", "out", "a"}).first, 0);
    Bytes got(65536);
    got.resize(static_cast<size_t>(std::max<ssize_t>(::read(fifo, got.data(), got.size()), 0)));
    ::close(fifo);
    EXPECT_EQ(got, test::zlib_reference(text, 9));
    EXPECT_TRUE(std::filesystem::is_fifo(dir / "out"));
}

TEST(CliOutput, StandardOutput) {
    test::TempDir dir;
    const Bytes text = test::text_bytes(3000);
    test::write_file(dir / "a", text);
    const Bytes z = test::zlib_reference(text, 9);
    EXPECT_EQ(run_cli(dir, {"compress", "-c", "a"}), std::pair(0, std::string(z.begin(), z.end())));
    // Refused on a terminal; a help that cannot be written is a failure.
    const int terminal = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(terminal, 0);
    ASSERT_EQ(::grantpt(terminal) | ::unlockpt(terminal), 0);
    EXPECT_EQ(run_cli(dir, {"pack", "-c", "a"}, ::ptsname(terminal)).first, 2);
    ::close(terminal);
    EXPECT_EQ(run_cli(dir, {"--help"}, "/dev/full").first, 2);
    EXPECT_EQ(dir.files(), std::vector<std::string>{"a"});
}

}  // namespace
}  // namespace quorvane
