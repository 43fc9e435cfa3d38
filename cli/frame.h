// frame.h -- the command-line frame: subcommand table, shared options, error reports, exit codes.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "zstream/baselines.h"

namespace quorvane::cli {

inline constexpr std::string_view kProgram = "quorvane-cli";

// The input name that stands for standard input.
inline constexpr std::string_view kStandardInput = "-";

// The file to read input from: for "-" standard input's own (read as it arrives, also from a
// pipe), else input itself.
std::filesystem::path source_of(const std::string& input);

// The program's exit status. With several inputs the worst status of any input is the program's.
enum class ExitStatus : int {
    Ok = 0,
    BadData = 1,  // packing found nothing worth writing, a restoration failed, corrupt data
    Failure = 2,  // usage or file-system error
};

// Settings of the rod commands (pack, unpack, test); what is not given keeps the desktop
// program's default.
struct RodSettings {
    std::optional<int> rod_size;       // -r, --rod-size: 2..128
    std::optional<int> depth;          // -d, --depth: 1..60
    std::optional<int> level;          // -l, --level: 1..100
    std::optional<std::string> loops;  // --loops: taken as typed
    bool no_lz77 = false;              // --no-lz77
    bool single = false;               // --single
    bool experimental = false;         // --experimental
    bool no_check = false;             // --no-check (pack): no integrity trailer
};

// The sweep of study; an empty list keeps the study's default.
struct StudyOptions {
    std::vector<int> rod_sizes;  // -r, --rod-size: 2..128
    std::vector<int> depths;     // -d, --depth: 1..60
    std::vector<bool> lz77;      // --lz77: on, off or both
    std::vector<int> loops;      // --loops: 1..32767
    bool single = false;         // --single
    bool csv = false;            // --csv
    bool trace = false;          // --trace: every pass and cycle, in --json or --csv
    std::optional<int> jobs;     // -j, --jobs: files at once
    std::vector<Baseline> baselines{kBaselines.begin(), kBaselines.end()};  // --baseline
};

// The options every subcommand shares, and the operands.
struct Options {
    bool force = false;
    bool quiet = false;
    bool verbose = false;
    bool to_stdout = false;  // -c, --stdout
    std::optional<std::string> output;
    std::vector<std::string> inputs;
    RodSettings rod;
    bool detect = false;  // --detect
    bool json = false;    // --json
    StudyOptions study;
};

// The sets of options a subcommand takes; every one takes the general options.
enum OptionSet : unsigned {
    kGeneralOptions = 0,       // -q, -v, -h, -V
    kOutputOptions = 1U << 0,  // -o, -f
    kStdoutOption = 1U << 1,   // -c
    kRodOptions = 1U << 2,     // RodSettings
    kPackOption = 1U << 3,     // --no-check
    kDetectOption = 1U << 4,   // --detect
    kJsonOption = 1U << 5,     // --json
    kStudyOptions = 1U << 6,   // StudyOptions
};

struct Subcommand {
    std::string_view name;
    std::string_view operands;  // as shown in the help, e.g. "[-f] [-o PATH] FILE..."
    std::string_view summary;
    unsigned option_sets;  // OptionSet values
    ExitStatus (*run)(const Options& options);
    std::string_view ending = {};  // of the input files a shell offers ("rod"); empty: any file

    bool takes(OptionSet set) const { return set == kGeneralOptions || (option_sets & set) != 0; }
};

// A refusal the command line decides on itself (an existing output, an unsuitable name), reported
// against path.
// Details, if any, are printed below the error, one indented line each.
class Refusal : public std::runtime_error {
  public:
    Refusal(std::string path, const std::string& message, ExitStatus status = ExitStatus::Failure,
            std::vector<std::string> details = {})
        : std::runtime_error(message),
          path_(std::move(path)),
          status_(status),
          details_(std::move(details)) {}
    const std::string& path() const { return path_; }
    ExitStatus status() const { return status_; }
    const std::vector<std::string>& details() const { return details_; }

  private:
    std::string path_;
    ExitStatus status_;
    std::vector<std::string> details_;
};

// "quorvane-cli: <path>: <message>" on stderr, control characters escaped so that it stays one
// line.
void report(std::string_view path, std::string_view message);

// A message of several lines (such as the restoration failure message) on one line.
std::string one_line(std::string_view text);

// Writes text to stdout as it stands.
void print_out(std::string_view text);

// Told of every failure for_each_input reports: the input and the message.
using FailureNote = std::function<void(const std::string& input, const std::string& message)>;

// text with its control characters escaped ("\n", "\x1b").
std::string printable(std::string_view text);

// Runs work for every input, reporting a failure against the input it belongs to, and returns the
// worst exit status: BadData for corrupt or truncated data, Failure for anything else.
ExitStatus for_each_input(const Options& options,
                          const std::function<void(const std::string&)>& work,
                          const FailureNote& note = {});

// Refuses to write target when it is a regular file and -f was not given, when it is the input
// itself (standard input's file included), or when it is a directory or a special file other than a
// character device or FIFO (those are written in place).
void check_output(const Options& options, const std::string& input,
                  const std::filesystem::path& target);

// Parses the arguments against the table, installs the signal handlers and runs the subcommand;
// returns the exit status.
ExitStatus run_cli(std::span<const Subcommand> table, int argc, char** argv);

}  // namespace quorvane::cli
