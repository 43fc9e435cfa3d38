// frame.cpp -- argument parsing, help, signal handling and the per-input error guard.
#include "cli/frame.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <exception>

#include "engine/errors.h"
#include "rodfile/atomic_file.h"
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
        "  -q, --quiet        no progress line, no reports of success\n"
        "  -v, --verbose      report every file written\n"
        "  -h, --help         show this help\n"
        "  -V, --version      show the version\n"
        "\nInputs are never removed. Exit status: 0 success, 1 corrupt or truncated data,\n"
        "2 usage or file-system error.");
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

// The options without a value: a flag to set, or an action that replaces the run.
struct Switch {
    char letter;
    std::string_view word;
    bool Options::*flag;
    Action action;
};
constexpr Switch kSwitches[] = {
    {'f', "--force", &Options::force, Action::Run},
    {'q', "--quiet", &Options::quiet, Action::Run},
    {'v', "--verbose", &Options::verbose, Action::Run},
    {'h', "--help", nullptr, Action::Help},
    {'V', "--version", nullptr, Action::Version},
};

// Sets the flag of the switch named by letter or word and returns its action.
Action apply_switch(Options& options, char letter, std::string_view word, std::string_view shown) {
    for (const auto& s : kSwitches) {
        if ((letter != 0 && s.letter == letter) || (!word.empty() && s.word == word)) {
            if (s.flag != nullptr) options.*(s.flag) = true;
            return s.action;
        }
    }
    throw UsageError(quoted("unknown option", shown));
}

// Reads the options and operands after the subcommand's name. Options may come anywhere before a
// "--"; short flags may be bundled ("-fq"), and -o takes the rest of its word or the next one.
Action parse_options(const Subcommand& command, std::span<char*> args, Options& options) {
    bool operands_only = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (operands_only || arg.size() < 2 || arg[0] != '-') {
            options.inputs.emplace_back(arg);
            continue;
        }
        // The path of -o: the rest of the word, else the next word; never empty.
        auto take_path = [&](std::string_view name, std::string_view attached) {
            if (attached.empty() && i + 1 < args.size()) attached = args[++i];
            if (attached.empty()) throw UsageError(quoted("missing path after", name));
            return std::string(attached);
        };
        if (arg == "--") {
            operands_only = true;
        } else if (arg == "--output") {
            options.output = take_path(arg, {});
        } else if (arg.starts_with("--output=")) {
            const std::string_view path = arg.substr(arg.find('=') + 1);
            if (path.empty()) throw UsageError(quoted("missing path after", "--output"));
            options.output = std::string(path);
        } else if (arg.starts_with("--")) {
            const Action action = apply_switch(options, 0, arg, arg);
            if (action != Action::Run) return action;
        } else {
            for (size_t k = 1; k < arg.size(); ++k) {
                if (arg[k] == 'o') {
                    options.output = take_path("-o", arg.substr(k + 1));
                    break;
                }
                const Action action = apply_switch(options, arg[k], {}, std::string{'-', arg[k]});
                if (action != Action::Run) return action;
            }
        }
    }
    if (!command.writes_output && (options.output || options.force)) {
        throw UsageError(quoted("-o and -f do not apply to", command.name));
    }
    if (options.inputs.empty()) throw UsageError(quoted("no input files for", command.name));
    if (options.output && options.inputs.size() > 1) {
        throw UsageError("-o can only be used with one input");
    }
    return Action::Run;
}

extern "C" void end_on_signal(int signal_number) {
    remove_pending_temp_files();
    ::_exit(128 + signal_number);
}

void install_signal_handlers() {
    struct sigaction action {};
    action.sa_handler = end_on_signal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

int status_of(const std::exception& error) {
    if (dynamic_cast<const EZDecompressionError*>(&error) != nullptr ||
        dynamic_cast<const ECorruptData*>(&error) != nullptr) {
        return kExitBadData;
    }
    return kExitFailure;
}

}  // namespace

void report(std::string_view path, std::string_view message) {
    std::string line(kProgram);
    line.append(": ").append(path).append(": ").append(message);
    print_line(stderr, line);
}

int for_each_input(const Options& options, const std::function<void(const std::string&)>& work) {
    int worst = kExitOk;
    for (const auto& input : options.inputs) {
        try {
            work(input);
        } catch (const Refusal& refusal) {
            report(refusal.path(), refusal.what());
            worst = std::max(worst, refusal.status());
        } catch (const std::exception& error) {
            report(input, error.what());
            worst = std::max(worst, status_of(error));
        }
    }
    return worst;
}

void check_output(const Options& options, const std::string& input,
                  const std::filesystem::path& target) {
    std::error_code ec;
    if (!std::filesystem::exists(std::filesystem::symlink_status(target, ec))) return;
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
        return kExitOk;
    }
    if (first == "-V" || first == "--version") {
        print_version();
        return kExitOk;
    }
    const auto command = std::find_if(table.begin(), table.end(),
                                      [&](const Subcommand& c) { return c.name == first; });
    try {
        if (command == table.end()) throw UsageError(quoted("unknown command", first));
        Options options;
        switch (parse_options(*command, args.subspan(1), options)) {
            case Action::Help:
                print_help(table, stdout);
                return kExitOk;
            case Action::Version:
                print_version();
                return kExitOk;
            case Action::Run:
                break;
        }
        install_signal_handlers();
        return command->run(options);
    } catch (const UsageError& error) {
        std::string line(kProgram);
        line.append(": ").append(error.what());
        print_line(stderr, line);
        line.assign("Try '").append(kProgram).append(" --help'.");
        print_line(stderr, line);
        return kExitFailure;
    }
}

}  // namespace quorvane::cli
