// cli_support.h -- running the built quorvane-cli from tests: processes, folders, FIFOs.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <map>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "tests/test_support.h"

namespace quorvane::test {

using Bytes = std::vector<uint8_t>;
using Files = std::map<std::string, Bytes>;

// Starts quorvane-cli in folder with its output going to out and err; returns its process id.
pid_t start_cli(const std::filesystem::path& folder, const std::vector<std::string>& args,
                const std::filesystem::path& out, const std::filesystem::path& err);

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
// and patterns for all of stderr and stdout.
struct CliCase {
    std::string name;
    std::vector<std::string> args;
    Files given;
    int status;
    Files expected;
    std::string err;
    std::string out = "";
};
inline void PrintTo(const CliCase& c, std::ostream* os) {
    *os << c.name;
}

// Runs the case in a folder of its own and checks everything it names.
void check_golden(const CliCase& c);

// The stderr pattern of a usage error with message.
std::string usage_error(const std::string& message);

// Opens the writing end of a FIFO once the process reading it has opened its end.
int open_fifo_writer(const std::filesystem::path& fifo, pid_t reader);

}  // namespace quorvane::test
