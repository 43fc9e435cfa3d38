// options.h -- the one table of options. The parser, the full and per-command help and the shell
// completions all read it, so none of them can name an option the others do not know.
#pragma once

#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

#include "cli/frame.h"

namespace quorvane::cli {

// A mistake in the command line itself, reported with a pointer to --help.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct OptionSpec {
    OptionSet set;               // the commands that take it
    char short_name;             // '\0': none
    std::string_view long_name;  // without the leading "--"
    std::string_view value;      // what follows it ("PATH", "N", "LIST"...); empty for a flag
    std::string_view help;       // one line, the default in parentheses
    std::string_view choices;    // the values a shell offers after it, blank-separated
    // Stores the option (name as typed) in options, or raises UsageError; null for -h and -V.
    void (*apply)(Options& options, std::string_view name, std::string value);

    bool takes_value() const { return !value.empty(); }
    bool takes_path() const { return value == "PATH"; }
    // "-r, --rod-size N" or "--loops TEXT", as the help shows it.
    std::string label() const;
};

std::span<const OptionSpec> option_table();

// The option command takes under name ("-r" or "--rod-size"); nullptr when it takes none.
const OptionSpec* find_option(const Subcommand& command, std::string_view name);

// The option some command takes under name; nullptr when none does.
const OptionSpec* find_any_option(std::string_view name);

// The whole help: every command and every option, each under the commands that take it.
std::string help_text(std::span<const Subcommand> table);

// One command's help: its usage line, its options with their defaults, and their notes.
std::string command_help_text(const Subcommand& command);

// The completion script for shell ("bash", "zsh" or "fish"); empty for any other.
std::string completion_script(std::span<const Subcommand> table, std::string_view shell);

}  // namespace quorvane::cli
