// frame.cpp -- argument parsing, help, signal handling and the per-input error guard.
#include "cli/frame.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <exception>

#include "engine/errors.h"
#include "run/study.h"
#include "status/setting_texts.h"
#include "zstream/atomic_file.h"
#include "zstream/zlib_errors.h"

#ifndef QUORVANE_VERSION
#error "QUORVANE_VERSION must be defined by the build"
#endif

namespace quorvane::cli {
namespace {

class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

void print_line(std::FILE* to, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), to);
    std::fputc('\n', to);
}

// "pack, unpack and test": the commands that take an option set.
std::string commands_taking(std::span<const Subcommand> table, OptionSet set) {
    std::vector<std::string_view> names;
    for (const auto& command : table) {
        if (command.takes(set)) names.push_back(command.name);
    }
    std::string text;
    for (size_t i = 0; i < names.size(); ++i) {
        if (i > 0) text.append(i + 1 == names.size() ? " and " : ", ");
        text.append(names[i]);
    }
    return text;
}

void print_help(std::span<const Subcommand> table, std::FILE* to) {
    std::string text("Usage: ");
    text.append(kProgram).append(" COMMAND [OPTIONS] FILE...\n\nCommands:\n");
    size_t name_width = 0;
    size_t operands_width = 0;
    for (const auto& command : table) {
        name_width = std::max(name_width, command.name.size());
        operands_width = std::max(operands_width, command.operands.size());
    }
    for (const auto& command : table) {
        text.append("  ").append(command.name);
        text.append(name_width - command.name.size() + 1, ' ').append(command.operands);
        text.append(operands_width - command.operands.size() + 2, ' ');
        text.append(command.summary).append("\n");
    }
    text.append(
        "\nOptions:\n"
        "  -o, --output PATH  write to PATH (only with one input)\n"
        "  -f, --force        replace an existing output\n"
        "  -c, --stdout       write to standard output (not to a terminal)\n"
        "  -q, --quiet        no progress line, no reports of success\n"
        "  -v, --verbose      report every file written\n"
        "  -h, --help         show this help\n"
        "  -V, --version      show the version\n");
    // Each group of options is listed under the commands that take it, if any do.
    struct OptionGroup {
        OptionSet set;
        const char* heading;  // after the command names
        const char* lines;
    };
    static constexpr OptionGroup kGroups[] = {
        {kRodOptions, " (defaults are the desktop program's):\n",
         "  -r, --rod-size N   rod size, 2..128 (2)\n"
         "  -d, --depth N      passes stop at N % of a cycle's start size, 1..60 (1)\n"
         "  -l, --level N      cycles stop at N % of the original size, 1..100 (1)\n"
         "  --loops TEXT       cycles before auto stop takes over (2)\n"
         "  --no-lz77          store the decisions as they are, not deflated\n"
         "  --single           one cycle only\n"
         "  --experimental     experimental decision format\n"
         "  --no-check         pack: no integrity trailer, only the rod stream\n"
         "A rod file records neither the rod size nor the LZ77 setting: unpack it with the\n"
         "ones it was packed with, or let --detect find them.\n"},
        {kDetectOption, ":\n",
         "  --detect           find the rod size and LZ77 setting by trying every one\n"},
        {kJsonOption, ":\n", "  --json             one machine-readable document on stdout\n"},
        {kStudyOptions, " (a LIST is numbers and ranges: 2,3,8 or 2-16):\n",
         "  -r, --rod-size LIST  rod sizes, 2..128 (2,3,4,8)\n"
         "  -d, --depth LIST     depths, 1..60 (1)\n"
         "  --lz77 WHICH         on, off or both (on)\n"
         "  --loops LIST         cycles before auto stop takes over, 1..32767 (2)\n"
         "  --single             one cycle only\n"
         "  --csv                comma-separated values instead of the table\n"
         "  -j, --jobs N         files studied at once, 1..256 (one per core)\n"},
    };
    for (const OptionGroup& group : kGroups) {
        const std::string names = commands_taking(table, group.set);
        if (names.empty()) continue;
        text.append("\nOptions of ").append(names).append(group.heading).append(group.lines);
    }
    text.append(
        "\nInputs are never removed. Exit status: 0 success; 1 packing found nothing worth\n"
        "writing, a restoration failed, or corrupt or truncated data; 2 usage or file-system\n"
        "error.");
    print_line(to, text);
}

void print_version() {
    std::string text(kProgram);
    text.append(" ").append(QUORVANE_VERSION);
    print_line(stdout, text);
}

std::string quoted(std::string_view what, std::string_view text) {
    std::string message(what);
    message.append(" '").append(text).append("'");
    return message;
}

enum class Action { Run, Help, Version };

// A whole decimal number within [low, high], or a usage error naming the option.
int number_in_range(std::string_view option, std::string_view text, int low, int high) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value < low ||
        value > high) {
        std::string message = quoted("invalid value", text);
        message.append(" for ").append(option).append(" (");
        message.append(std::to_string(low)).append("..").append(std::to_string(high)).append(")");
        throw UsageError(message);
    }
    return value;
}

// A list of numbers and ranges within [low, high] as the study reads it, or a usage error naming
// the option.
std::vector<int> list_in_range(std::string_view option, std::string_view text, int low, int high) {
    std::optional<std::vector<int>> values = number_list(text, low, high);
    if (!values) {
        std::string message = quoted("invalid value", text);
        message.append(" for ").append(option).append(" (a list within ");
        message.append(std::to_string(low)).append("..").append(std::to_string(high));
        message.append(")");
        throw UsageError(message);
    }
    return std::move(*values);
}

// "on", "off", "both" or a list of on and off.
std::vector<bool> lz77_choice(std::string_view option, std::string_view text) {
    if (text == "both") return {true, false};
    std::vector<bool> values;
    size_t start = 0;
    for (;;) {
        const size_t comma = text.find(',', start);
        const std::string_view item = text.substr(start, comma - start);
        if (item != "on" && item != "off") {
            std::string message = quoted("invalid value", text);
            message.append(" for ").append(option).append(" (on, off or both)");
            throw UsageError(message);
        }
        const bool on = item == "on";
        if (std::find(values.begin(), values.end(), on) == values.end()) values.push_back(on);
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    return values;
}

// The study's options that take a value; false when name is no such option.
bool apply_study_valued(std::string_view name, const std::string& value, StudyOptions& study) {
    if (name == "-r" || name == "--rod-size") {
        study.rod_sizes = list_in_range(name, value, kStudyMinRodSize, kStudyMaxRodSize);
    } else if (name == "-d" || name == "--depth") {
        study.depths = list_in_range(name, value, kStudyMinDepth, kStudyMaxDepth);
    } else if (name == "--lz77") {
        study.lz77 = lz77_choice(name, value);
    } else if (name == "--loops") {
        study.loops = list_in_range(name, value, kStudyMinLoops, kStudyMaxLoops);
    } else if (name == "-j" || name == "--jobs") {
        study.jobs = number_in_range(name, value, 1, 256);
    } else {
        return false;
    }
    return true;
}

// Applies an option that takes a value; false when name is no such option.
bool apply_valued(const Subcommand& command, std::string_view name, std::string value,
                  Options& options) {
    if (name == "-o" || name == "--output") {
        if (value.empty()) throw UsageError(quoted("missing path after", name));
        options.output = std::move(value);
        return true;
    }
    if (command.takes(kStudyOptions)) return apply_study_valued(name, value, options.study);
    if (!command.takes(kRodOptions)) return false;
    RodSettings& rod = options.rod;
    if (name == "-r" || name == "--rod-size") {
        rod.rod_size = number_in_range(name, value, 2, 128);
    } else if (name == "-d" || name == "--depth") {
        rod.depth = number_in_range(name, value, 1, 60);
    } else if (name == "-l" || name == "--level") {
        rod.level = number_in_range(name, value, 1, 100);
    } else if (name == "--loops") {
        // Converted as the engine converts it, but before any work is done.
        try {
            strict_decimal(value);
        } catch (const EConvertError& error) {
            throw UsageError(error.what());
        }
        rod.loops = std::move(value);
    } else {
        return false;
    }
    return true;
}

bool takes_value(const Subcommand& command, std::string_view name) {
    if (name == "-o" || name == "--output") return true;
    if (command.takes(kStudyOptions) &&
        (name == "-r" || name == "-d" || name == "-j" || name == "--rod-size" ||
         name == "--depth" || name == "--lz77" || name == "--loops" || name == "--jobs")) {
        return true;
    }
    return command.takes(kRodOptions) &&
           (name == "-r" || name == "-d" || name == "-l" || name == "--rod-size" ||
            name == "--depth" || name == "--level" || name == "--loops");
}

// Applies a flag; false when name is no such flag.
bool apply_flag(const Subcommand& command, std::string_view name, Options& options) {
    if (name == "-f" || name == "--force") {
        options.force = true;
    } else if (name == "-q" || name == "--quiet") {
        options.quiet = true;
    } else if (name == "-v" || name == "--verbose") {
        options.verbose = true;
    } else if (command.takes(kOutputOptions) && (name == "-c" || name == "--stdout")) {
        options.to_stdout = true;
    } else if (command.name == "pack" && name == "--no-check") {
        options.rod.no_check = true;
    } else if (command.takes(kRodOptions) && name == "--no-lz77") {
        options.rod.no_lz77 = true;
    } else if (command.takes(kRodOptions) && name == "--single") {
        options.rod.single = true;
    } else if (command.takes(kRodOptions) && name == "--experimental") {
        options.rod.experimental = true;
    } else if (command.takes(kDetectOption) && name == "--detect") {
        options.detect = true;
    } else if (command.takes(kJsonOption) && name == "--json") {
        options.json = true;
    } else if (command.takes(kStudyOptions) && name == "--single") {
        options.study.single = true;
    } else if (command.takes(kStudyOptions) && name == "--csv") {
        options.study.csv = true;
    } else {
        return false;
    }
    return true;
}

// Reads the options and operands after the subcommand's name. Options may come anywhere before a
// "--"; short flags may be bundled ("-fq"), and a short option with a value takes the rest of its
// word or the next one; a long one "--name=value" or the next word.
Action parse_options(const Subcommand& command, std::span<char*> args, Options& options) {
    bool operands_only = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (operands_only || arg.size() < 2 || arg[0] != '-') {
            options.inputs.emplace_back(arg);
            continue;
        }
        auto value_of = [&](std::string_view name, std::optional<std::string_view> attached) {
            if (!attached && i + 1 < args.size()) attached = args[++i];
            if (!attached) {
                const bool path = name == "-o" || name == "--output";
                throw UsageError(quoted(path ? "missing path after" : "missing value after", name));
            }
            return std::string(*attached);
        };
        if (arg == "--") {
            operands_only = true;
        } else if (arg.starts_with("--")) {
            const size_t equals = arg.find('=');
            const std::string_view name = arg.substr(0, equals);
            if (takes_value(command, name)) {
                apply_valued(command, name,
                             value_of(name, equals == std::string_view::npos
                                                ? std::nullopt
                                                : std::optional(arg.substr(equals + 1))),
                             options);
                continue;
            }
            if (equals != std::string_view::npos) throw UsageError(quoted("unknown option", arg));
            if (name == "--help") return Action::Help;
            if (name == "--version") return Action::Version;
            if (!apply_flag(command, name, options))
                throw UsageError(quoted("unknown option", arg));
        } else {
            for (size_t k = 1; k < arg.size(); ++k) {
                const std::string name{'-', arg[k]};
                if (takes_value(command, name)) {
                    apply_valued(
                        command, name,
                        value_of(name, k + 1 < arg.size() ? std::optional(arg.substr(k + 1))
                                                          : std::nullopt),
                        options);
                    break;
                }
                if (name == "-h") return Action::Help;
                if (name == "-V") return Action::Version;
                if (!apply_flag(command, name, options)) {
                    throw UsageError(quoted("unknown option", name));
                }
            }
        }
    }
    if (!command.takes(kOutputOptions) && (options.output || options.force)) {
        throw UsageError(quoted("-o and -f do not apply to", command.name));
    }
    if (options.detect && (options.rod.rod_size || options.rod.no_lz77)) {
        throw UsageError("--detect finds the rod size and LZ77 setting itself; give neither");
    }
    if (options.json && options.study.csv) throw UsageError("--csv and --json exclude each other");
    if (options.inputs.empty()) throw UsageError(quoted("no input files for", command.name));
    if (options.output && options.inputs.size() > 1) {
        throw UsageError("-o can only be used with one input");
    }
    if (options.to_stdout && options.output) throw UsageError("-c and -o cannot be used together");
    if (options.to_stdout && ::isatty(STDOUT_FILENO) == 1) {
        throw UsageError("-c: standard output is a terminal; not written there");
    }
    return Action::Run;
}

extern "C" void end_on_signal(int signal_number) {
    remove_pending_temp_files();
    ::_exit(128 + signal_number);
}

// Every terminating signal that can be caught. One ignored from the start (nohup) stays ignored.
constexpr int kEndingSignals[] = {SIGHUP,  SIGINT,  SIGTERM, SIGPIPE,
                                  SIGALRM, SIGUSR1, SIGUSR2, SIGXFSZ};

void install_signal_handlers() {
    struct sigaction action {};
    action.sa_handler = end_on_signal;
    sigemptyset(&action.sa_mask);
    for (const int signal_number : kEndingSignals)
        sigaddset(&action.sa_mask, signal_number);
    for (const int signal_number : kEndingSignals) {
        struct sigaction old {};
        if (sigaction(signal_number, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
        sigaction(signal_number, &action, nullptr);
    }
}

// A help, a version or a result that did not reach standard output is a failure.
int flushed(int status) {
    if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0) return status;
    std::string line(kProgram);
    line.append(": standard output: ").append(std::strerror(errno != 0 ? errno : EIO));
    print_line(stderr, line);
    return kExitFailure;
}

int status_of(const std::exception& error) {
    if (dynamic_cast<const EZDecompressionError*>(&error) != nullptr ||
        dynamic_cast<const ECorruptData*>(&error) != nullptr) {
        return kExitBadData;
    }
    return kExitFailure;
}

}  // namespace

std::string printable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7F) {
            out.push_back(c);
        } else if (c == '\n') {
            out.append("\\n");
        } else if (c == '\t') {
            out.append("\\t");
        } else if (c == '\r') {
            out.append("\\r");
        } else {
            constexpr char kHex[] = "0123456789abcdef";
            out.append("\\x").push_back(kHex[byte >> 4]);
            out.push_back(kHex[byte & 15]);
        }
    }
    return out;
}

void report(std::string_view path, std::string_view message) {
    std::string line(kProgram);
    line.append(": ").append(printable(path)).append(": ").append(printable(message));
    print_line(stderr, line);
}

std::string one_line(std::string_view text) {
    std::string line;
    for (char c : text) {
        if (c == '\r') continue;
        line.push_back(c == '\n' ? ' ' : c);
    }
    return line;
}

void print_out(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

int for_each_input(const Options& options, const std::function<void(const std::string&)>& work,
                   const FailureNote& note) {
    int worst = kExitOk;
    for (const auto& input : options.inputs) {
        try {
            work(input);
        } catch (const Refusal& refusal) {
            report(refusal.path(), refusal.what());
            for (const std::string& detail : refusal.details()) {
                print_line(stderr, "  " + printable(detail));
            }
            if (note) note(input, refusal.what());
            worst = std::max(worst, refusal.status());
        } catch (const std::exception& error) {
            report(input, error.what());
            if (note) note(input, error.what());
            worst = std::max(worst, status_of(error));
        }
    }
    return worst;
}

void check_output(const Options& options, const std::string& input,
                  const std::filesystem::path& target) {
    std::error_code ec;
    if (!std::filesystem::exists(std::filesystem::symlink_status(target, ec))) return;
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0) {
        if (S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode)) return;
        if (S_ISDIR(st.st_mode)) throw Refusal(target.string(), "is a directory; not replaced");
        if (!S_ISREG(st.st_mode)) {
            throw Refusal(target.string(), "is not a regular file; not replaced");
        }
    }
    if (!options.force) {
        throw Refusal(target.string(), "already exists; use -f to replace it");
    }
    if (std::filesystem::equivalent(input, target, ec)) {
        throw Refusal(target.string(), "is the input itself; not replaced");
    }
}

int run_cli(std::span<const Subcommand> table, int argc, char** argv) {
    const std::span<char*> args(argv + 1, static_cast<size_t>(std::max(argc - 1, 0)));
    if (args.empty()) {
        print_help(table, stderr);
        return kExitFailure;
    }
    const std::string_view first = args[0];
    if (first == "-h" || first == "--help") {
        print_help(table, stdout);
        return flushed(kExitOk);
    }
    if (first == "-V" || first == "--version") {
        print_version();
        return flushed(kExitOk);
    }
    const auto command = std::find_if(table.begin(), table.end(),
                                      [&](const Subcommand& c) { return c.name == first; });
    try {
        if (command == table.end()) throw UsageError(quoted("unknown command", first));
        Options options;
        switch (parse_options(*command, args.subspan(1), options)) {
            case Action::Help:
                print_help(table, stdout);
                return flushed(kExitOk);
            case Action::Version:
                print_version();
                return flushed(kExitOk);
            case Action::Run:
                break;
        }
        install_signal_handlers();
        return flushed(command->run(options));
    } catch (const UsageError& error) {
        std::string line(kProgram);
        line.append(": ").append(printable(error.what()));
        print_line(stderr, line);
        line.assign("Try '").append(kProgram).append(" --help'.");
        print_line(stderr, line);
        return kExitFailure;
    }
}

}  // namespace quorvane::cli
