// cli_support.h -- running the built quorvane-cli from tests: processes, folders, FIFOs.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "tests/test_support.h"

namespace quorvane::test {

using Bytes = std::vector<uint8_t>;
using Files = std::map<std::string, Bytes>;

// Starts quorvane-cli in folder with its output going to out and err, and its standard input
// from in_fd when that is given; returns its process id.
pid_t start_cli(const std::filesystem::path& folder, const std::vector<std::string>& args,
                const std::filesystem::path& out, const std::filesystem::path& err, int in_fd = -1);

// The exit status, or -1 when the process did not end by exiting.
int wait_for(pid_t pid);

std::string text_of(const std::filesystem::path& path);
Bytes bytes_of(std::string_view text);
Files folder_content(const TempDir& dir);

// What a run of quorvane-cli left: its exit status and its output.
struct CliOutput {
    int status;
    std::string out;
    std::string err;
};

// Runs quorvane-cli in folder and waits for it.
CliOutput run_cli_in(const std::filesystem::path& folder, const std::vector<std::string>& args);

// One golden case: a command line, the folder before, the exit status, the whole folder after,
// patterns for all of stderr and stdout, and what a pipe feeds standard input (in two parts, the
// second after a pause), if anything.
struct CliCase {
    std::string name;
    std::vector<std::string> args;
    Files given;
    int status;
    Files expected;
    std::string err;
    std::string out = "";
    std::optional<Bytes> in = std::nullopt;
};
inline void PrintTo(const CliCase& c, std::ostream* os) {
    *os << c.name;
}

// Runs the case in a folder of its own and checks everything it names.
void check_golden(const CliCase& c);

// The golden cases' suite (its test runs check_golden): each test file instantiates it with its
// own cases under its own prefix, naming each test after its case.
class CliGolden : public testing::TestWithParam<CliCase> {};
std::string golden_name(const testing::TestParamInfo<CliCase>& info);

// A pattern that matches text exactly.
std::string literal(std::string_view text);

// The stderr pattern of a usage error with message.
std::string usage_error(const std::string& message);

// Opens the writing end of a FIFO once the process reading it has opened its end.
int open_fifo_writer(const std::filesystem::path& fifo, pid_t reader);

}  // namespace quorvane::test
