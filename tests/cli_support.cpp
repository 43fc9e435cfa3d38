// cli_support.cpp -- running the built quorvane-cli from tests.
#include "tests/cli_support.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <regex>
#include <thread>

#ifndef QUORVANE_CLI
#error "QUORVANE_CLI must name the built quorvane-cli"
#endif

namespace quorvane::test {

// Starts quorvane-cli in folder with its output going to out and err; returns its process id.
pid_t start_cli(const std::filesystem::path& folder, const std::vector<std::string>& args,
                const std::filesystem::path& out, const std::filesystem::path& err, int in_fd) {
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
        if (in_fd >= 0) ::dup2(in_fd, STDIN_FILENO);
        ::dup2(out_fd, STDOUT_FILENO);
        ::dup2(err_fd, STDERR_FILENO);
        // The program starts as from a shell, whatever the test ignores.
        ::signal(SIGPIPE, SIG_DFL);
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
    const Bytes bytes = read_file(path);
    return {bytes.begin(), bytes.end()};
}

Bytes bytes_of(std::string_view text) {
    return {text.begin(), text.end()};
}

Files folder_content(const TempDir& dir) {
    Files files;
    for (const auto& name : dir.files())
        files[name] = read_file(dir / name);
    return files;
}

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

CliOutput run_cli_in(const std::filesystem::path& folder, const std::vector<std::string>& args) {
    TempDir captured;
    const pid_t pid = start_cli(folder, args, captured / "out", captured / "err");
    const int status = pid > 0 ? wait_for(pid) : -1;
    return {status, text_of(captured / "out"), text_of(captured / "err")};
}

void check_golden(const CliCase& c) {
    TempDir dir;
    TempDir captured;
    for (const auto& [name, bytes] : c.given)
        write_file(dir / name, bytes);
    int pipe_fds[2] = {-1, -1};
    pid_t writer = -1;
    if (c.in) {
        ASSERT_EQ(::pipe2(pipe_fds, O_CLOEXEC), 0);
        writer = ::fork();
        if (writer == 0) {
            // The program may stop reading before the end (a limit); then this writer ends.
            const size_t half = c.in->size() / 2;
            const bool first = ::write(pipe_fds[1], c.in->data(), half) == ssize_t(half);
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            const size_t rest = c.in->size() - half;
            ::_exit(first && ::write(pipe_fds[1], c.in->data() + half, rest) == ssize_t(rest) ? 0
                                                                                              : 1);
        }
        ASSERT_GT(writer, 0);
    }
    const pid_t pid =
        start_cli(dir.path(), c.args, captured / "out", captured / "err", pipe_fds[0]);
    for (const int fd : pipe_fds) {
        if (fd >= 0) ::close(fd);
    }
    ASSERT_GT(pid, 0);
    EXPECT_EQ(wait_for(pid), c.status);
    if (writer > 0) wait_for(writer);
    EXPECT_EQ(folder_content(dir), c.expected);
    const std::string err = text_of(captured / "err");
    const std::string out = text_of(captured / "out");
    EXPECT_TRUE(std::regex_match(err, std::regex(c.err))) << "stderr:\n" << err;
    EXPECT_TRUE(std::regex_match(out, std::regex(c.out))) << "stdout:\n" << out;
}

std::string literal(std::string_view text) {
    std::string pattern;
    for (const char c : text) {
        if (std::string_view("\\^$.|?*+()[]{}").find(c) != std::string_view::npos) {
            pattern.push_back('\\');
        }
        pattern.push_back(c);
    }
    return pattern;
}

std::string usage_error(const std::string& message) {
    return std::string("quorvane-cli: ").append(message).append("\nTry 'quorvane-cli --help'\\.\n");
}

TEST_P(CliGolden, Run) {
    check_golden(GetParam());
}

std::string golden_name(const testing::TestParamInfo<CliCase>& info) {
    return info.param.name;
}

}  // namespace quorvane::test
