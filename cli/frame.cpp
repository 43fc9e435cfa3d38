// frame.cpp -- argument parsing, help, signal handling and the per-input error guard.
#include "cli/frame.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>

#include "cli/options.h"
#include "engine/errors.h"
#include "zstream/atomic_file.h"
#include "zstream/zlib_errors.h"

#ifndef QUORVANE_VERSION
#error "QUORVANE_VERSION must be defined by the build"
#endif

namespace quorvane::cli {
namespace {

void print_line(std::FILE* to, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), to);
    std::fputc('\n', to);
}

void print_text(std::FILE* to, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), to);
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

Action action_of(const OptionSpec& option) {
    return option.long_name == "help" ? Action::Help : Action::Version;
}

// The option command takes under name; -o and -f are taken from every command, so that the
// commands that write no file can refuse them by name.
const OptionSpec* option_named(const Subcommand& command, std::string_view name) {
    if (const OptionSpec* option = find_option(command, name)) return option;
    const OptionSpec* other = find_any_option(name);
    return other != nullptr && other->set == kOutputOptions ? other : nullptr;
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
        auto value_of = [&](const OptionSpec& option, std::string_view name,
                            std::optional<std::string_view> attached) {
            if (!attached && i + 1 < args.size()) attached = args[++i];
            if (!attached) {
                throw UsageError(quoted(
                    option.takes_path() ? "missing path after" : "missing value after", name));
            }
            return std::string(*attached);
        };
        // Applies the option; false for -h and -V, which end the parsing.
        auto apply = [&](const OptionSpec& option, std::string_view name, std::string value) {
            if (option.apply == nullptr) return false;
            option.apply(options, name, std::move(value));
            return true;
        };
        if (arg == "--") {
            operands_only = true;
        } else if (arg.starts_with("--")) {
            const size_t equals = arg.find('=');
            const std::string_view name = arg.substr(0, equals);
            const OptionSpec* option = option_named(command, name);
            if (option == nullptr || (equals != std::string_view::npos && !option->takes_value())) {
                throw UsageError(quoted("unknown option", arg));
            }
            std::string value;
            if (option->takes_value()) {
                value = value_of(*option, name,
                                 equals == std::string_view::npos
                                     ? std::nullopt
                                     : std::optional(arg.substr(equals + 1)));
            }
            if (!apply(*option, name, std::move(value))) return action_of(*option);
        } else {
            for (size_t k = 1; k < arg.size(); ++k) {
                const std::string name{'-', arg[k]};
                const OptionSpec* option = option_named(command, name);
                if (option == nullptr) throw UsageError(quoted("unknown option", name));
                if (option->takes_value()) {
                    apply(*option, name,
                          value_of(*option, name,
                                   k + 1 < arg.size() ? std::optional(arg.substr(k + 1))
                                                      : std::nullopt));
                    break;
                }
                if (!apply(*option, name, {})) return action_of(*option);
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
    if (options.study.trace && !options.json && !options.study.csv)
        throw UsageError("--trace goes with --json or --csv");
    // With no file named, a command reads a pipe or a redirected file when it needs no output
    // name.
    if (options.inputs.empty()) {
        if (::isatty(STDIN_FILENO) == 1 || (command.takes(kOutputOptions) && !options.to_stdout)) {
            throw UsageError(quoted("no input files for", command.name));
        }
        options.inputs.emplace_back(kStandardInput);
    }
    const auto stdin_count =
        std::count(options.inputs.begin(), options.inputs.end(), kStandardInput);
    if (stdin_count > 1) throw UsageError("standard input ('-') can be read only once");
    if (stdin_count > 0 && command.takes(kOutputOptions) && !options.output && !options.to_stdout) {
        throw UsageError("no output name comes from standard input ('-'); give -o PATH or -c");
    }
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
ExitStatus flushed(ExitStatus status) {
    if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0) return status;
    std::string line(kProgram);
    line.append(": standard output: ").append(std::strerror(errno != 0 ? errno : EIO));
    print_line(stderr, line);
    return ExitStatus::Failure;
}

ExitStatus status_of(const std::exception& error) {
    if (dynamic_cast<const EZDecompressionError*>(&error) != nullptr ||
        dynamic_cast<const ECorruptData*>(&error) != nullptr) {
        return ExitStatus::BadData;
    }
    return ExitStatus::Failure;
}

}  // namespace

std::filesystem::path source_of(const std::string& input) {
    return input == kStandardInput ? std::filesystem::path("/dev/stdin")
                                   : std::filesystem::path(input);
}

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

ExitStatus for_each_input(const Options& options,
                          const std::function<void(const std::string&)>& work,
                          const FailureNote& note) {
    ExitStatus worst = ExitStatus::Ok;
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
    if (std::filesystem::equivalent(source_of(input), target, ec)) {
        throw Refusal(target.string(), "is the input itself; not replaced");
    }
}

ExitStatus run_cli(std::span<const Subcommand> table, int argc, char** argv) {
    const std::span<char*> args(argv + 1, static_cast<size_t>(std::max(argc - 1, 0)));
    if (args.empty()) {
        print_text(stderr, help_text(table));
        return ExitStatus::Failure;
    }
    const std::string_view first = args[0];
    const auto find_command = [&](std::string_view name) {
        const auto found = std::find_if(table.begin(), table.end(),
                                        [&](const Subcommand& c) { return c.name == name; });
        if (found == table.end()) throw UsageError(quoted("unknown command", name));
        return found;
    };
    try {
        if (first == "-h" || first == "--help" || (first == "help" && args.size() == 1)) {
            print_text(stdout, help_text(table));
            return flushed(ExitStatus::Ok);
        }
        if (first == "help") {
            if (args.size() > 2) throw UsageError("help takes one command");
            print_text(stdout, command_help_text(*find_command(args[1])));
            return flushed(ExitStatus::Ok);
        }
        if (first == "-V" || first == "--version") {
            print_version();
            return flushed(ExitStatus::Ok);
        }
        // The shell completions are made from the option table when the program is built.
        if (first == "--completion" && args.size() == 2) {
            const std::string script = completion_script(table, args[1]);
            if (script.empty()) throw UsageError(quoted("no completion for the shell", args[1]));
            print_text(stdout, script);
            return flushed(ExitStatus::Ok);
        }
        const auto command = find_command(first);
        Options options;
        switch (parse_options(*command, args.subspan(1), options)) {
            case Action::Help:
                print_text(stdout, command_help_text(*command));
                return flushed(ExitStatus::Ok);
            case Action::Version:
                print_version();
                return flushed(ExitStatus::Ok);
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
        return ExitStatus::Failure;
    }
}

}  // namespace quorvane::cli
