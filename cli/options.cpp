// options.cpp -- the option table, the values it parses, and the help texts made from it.
#include "cli/options.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "engine/errors.h"
#include "engine/settings.h"
#include "run/study.h"
#include "status/setting_texts.h"

namespace quorvane::cli {
namespace {

std::string quoted(std::string_view what, std::string_view text) {
    std::string message(what);
    message.append(" '").append(text).append("'");
    return message;
}

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

// "none", or a list of baseline names; in their own order, each once.
std::vector<Baseline> baseline_list(std::string_view option, std::string_view text) {
    if (text == "none") return {};
    std::vector<bool> chosen(kBaselines.size(), false);
    size_t start = 0;
    for (;;) {
        const size_t comma = text.find(',', start);
        const std::optional<Baseline> b = baseline_named(text.substr(start, comma - start));
        if (!b) {
            std::string message = quoted("invalid value", text);
            message.append(" for ").append(option).append(" (zlib, zstd, xz, entropy or none)");
            throw UsageError(message);
        }
        chosen[static_cast<size_t>(*b)] = true;
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    std::vector<Baseline> baselines;
    for (const Baseline b : kBaselines) {
        if (chosen[static_cast<size_t>(b)]) baselines.push_back(b);
    }
    return baselines;
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

constexpr int kMinRod = static_cast<int>(kMinRodSize);
constexpr int kMaxRod = static_cast<int>(kMaxRodSize);

using Name = std::string_view;
using Value = std::string;

// Options of the same name in different sets (-r of pack and of study) never meet: no command
// takes both sets.
constexpr OptionSpec kOptions[] = {
    {kGeneralOptions, 'q', "quiet", "", "no progress line, no reports of success", "",
     [](Options& o, Name, Value) { o.quiet = true; }},
    {kGeneralOptions, 'v', "verbose", "", "report every file written", "",
     [](Options& o, Name, Value) { o.verbose = true; }},
    {kGeneralOptions, 'h', "help", "", "show this help", "", nullptr},
    {kGeneralOptions, 'V', "version", "", "show the version", "", nullptr},
    {kOutputOptions, 'o', "output", "PATH", "write to PATH (only with one input)", "",
     [](Options& o, Name name, Value value) {
         if (value.empty()) throw UsageError(quoted("missing path after", name));
         o.output = std::move(value);
     }},
    {kOutputOptions, 'f', "force", "", "replace an existing output", "",
     [](Options& o, Name, Value) { o.force = true; }},
    {kStdoutOption, 'c', "stdout", "", "write to standard output (not to a terminal)", "",
     [](Options& o, Name, Value) { o.to_stdout = true; }},
    {kRodOptions, 'r', "rod-size", "N", "rod size, 2..128 (2)", "",
     [](Options& o, Name name, Value value) {
         o.rod.rod_size = number_in_range(name, value, kMinRod, kMaxRod);
     }},
    {kRodOptions, 'd', "depth", "N", "passes stop at N % of a cycle's start size, 1..60 (1)", "",
     [](Options& o, Name name, Value value) {
         o.rod.depth = number_in_range(name, value, kMinDepth, kMaxDepth);
     }},
    {kRodOptions, 'l', "level", "N", "cycles stop at N % of the original size, 1..100 (1)", "",
     [](Options& o, Name name, Value value) {
         o.rod.level = number_in_range(name, value, kMinLevel, kMaxLevel);
     }},
    {kRodOptions, '\0', "loops", "TEXT", "cycles before auto stop takes over (2)", "",
     [](Options& o, Name, Value value) {
         // Converted as the engine converts it, but before any work is done.
         try {
             strict_decimal(value);
         } catch (const EConvertError& error) {
             throw UsageError(error.what());
         }
         o.rod.loops = std::move(value);
     }},
    {kRodOptions, '\0', "no-lz77", "", "store the decisions as they are, not deflated", "",
     [](Options& o, Name, Value) { o.rod.no_lz77 = true; }},
    {kRodOptions, '\0', "single", "", "one cycle only", "",
     [](Options& o, Name, Value) { o.rod.single = true; }},
    {kRodOptions, '\0', "experimental", "", "experimental decision format", "",
     [](Options& o, Name, Value) { o.rod.experimental = true; }},
    {kPackOption, '\0', "no-check", "", "pack: no integrity trailer, only the rod stream", "",
     [](Options& o, Name, Value) { o.rod.no_check = true; }},
    {kDetectOption, '\0', "detect", "", "find the rod size and LZ77 setting by trying every one",
     "", [](Options& o, Name, Value) { o.detect = true; }},
    {kJsonOption, '\0', "json", "", "one machine-readable document on stdout", "",
     [](Options& o, Name, Value) { o.json = true; }},
    {kStudyOptions, 'r', "rod-size", "LIST", "rod sizes, 2..128 (2,3,4,8)", "",
     [](Options& o, Name name, Value value) {
         o.study.rod_sizes = list_in_range(name, value, kMinRod, kMaxRod);
     }},
    {kStudyOptions, 'd', "depth", "LIST", "depths, 1..60 (1)", "",
     [](Options& o, Name name, Value value) {
         o.study.depths = list_in_range(name, value, kMinDepth, kMaxDepth);
     }},
    {kStudyOptions, '\0', "lz77", "WHICH", "on, off or both (on)", "on off both",
     [](Options& o, Name name, Value value) { o.study.lz77 = lz77_choice(name, value); }},
    {kStudyOptions, '\0', "loops", "LIST", "cycles before auto stop takes over, 1..32767 (2)", "",
     [](Options& o, Name name, Value value) {
         o.study.loops = list_in_range(name, value, 1, 32767);
     }},
    {kStudyOptions, '\0', "single", "", "one cycle only", "",
     [](Options& o, Name, Value) { o.study.single = true; }},
    {kStudyOptions, '\0', "baseline", "LIST",
     "compared with: zlib, zstd, xz, entropy or none (all)", "",
     [](Options& o, Name name, Value value) { o.study.baselines = baseline_list(name, value); }},
    {kStudyOptions, '\0', "csv", "", "comma-separated values instead of the table", "",
     [](Options& o, Name, Value) { o.study.csv = true; }},
    {kStudyOptions, '\0', "trace", "", "every pass and cycle in --json, or --csv one line a pass",
     "", [](Options& o, Name, Value) { o.study.trace = true; }},
    {kStudyOptions, 'j', "jobs", "N", "files studied at once, 1..256 (one per core)", "",
     [](Options& o, Name name, Value value) {
         o.study.jobs = number_in_range(name, value, 1, 256);
     }},
};

// How the full help groups the options: each group under the commands that take its sets, and
// its notes after its options (in a command's help too).
struct OptionGroup {
    unsigned sets;
    std::string_view note;
};

constexpr OptionGroup kGroups[] = {
    {kGeneralOptions, ""},
    {kOutputOptions | kStdoutOption, ""},
    {kRodOptions | kPackOption,
     "The defaults are the desktop program's. A rod file records neither the rod size\n"
     "nor the LZ77 setting: unpack it with the ones it was packed with, or let\n"
     "--detect find them.\n"},
    {kDetectOption, ""},
    {kJsonOption, ""},
    {kStudyOptions, "A LIST is numbers and ranges: 2,3,8 or 2-16.\n"},
};

bool in_group(const OptionSpec& option, const OptionGroup& group) {
    return option.set == kGeneralOptions ? group.sets == kGeneralOptions
                                         : (option.set & group.sets) != 0;
}

bool takes_group(const Subcommand& command, const OptionGroup& group) {
    if (group.sets == kGeneralOptions) return true;
    return (command.option_sets & group.sets) != 0;
}

// "pack, unpack and test": the commands that take a group's options.
std::string commands_taking(std::span<const Subcommand> table, const OptionGroup& group) {
    std::vector<std::string_view> names;
    for (const auto& command : table) {
        if (takes_group(command, group)) names.push_back(command.name);
    }
    std::string text;
    for (size_t i = 0; i < names.size(); ++i) {
        if (i > 0) text.append(i + 1 == names.size() ? " and " : ", ");
        text.append(names[i]);
    }
    return text;
}

// The options given, one line each, their help in one column.
std::string option_lines(const std::vector<const OptionSpec*>& options) {
    size_t width = 0;
    for (const OptionSpec* option : options)
        width = std::max(width, option->label().size());
    std::string text;
    for (const OptionSpec* option : options) {
        const std::string label = option->label();
        text.append("  ").append(label).append(width - label.size() + 2, ' ');
        text.append(option->help).append("\n");
    }
    return text;
}

constexpr std::string_view kExitStatusText =
    "Exit status: 0 success; 1 packing found nothing worth writing, a restoration\n"
    "failed, or corrupt or truncated data; 2 usage or file-system error.";

}  // namespace

std::string OptionSpec::label() const {
    std::string text;
    if (short_name != '\0') text.append("-").push_back(short_name);
    if (!long_name.empty()) {
        if (!text.empty()) text.append(", ");
        text.append("--").append(long_name);
    }
    if (takes_value()) text.append(" ").append(value);
    return text;
}

std::span<const OptionSpec> option_table() {
    return kOptions;
}

namespace {

bool named(const OptionSpec& option, std::string_view name) {
    if (name.size() == 2 && name[0] == '-') return option.short_name == name[1];
    return name.starts_with("--") && name.substr(2) == option.long_name;
}

}  // namespace

const OptionSpec* find_option(const Subcommand& command, std::string_view name) {
    for (const OptionSpec& option : kOptions) {
        if (command.takes(option.set) && named(option, name)) return &option;
    }
    return nullptr;
}

const OptionSpec* find_any_option(std::string_view name) {
    for (const OptionSpec& option : kOptions) {
        if (named(option, name)) return &option;
    }
    return nullptr;
}

std::string help_text(std::span<const Subcommand> table) {
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
    for (const OptionGroup& group : kGroups) {
        const std::string names = commands_taking(table, group);
        if (names.empty()) continue;
        std::vector<const OptionSpec*> options;
        for (const OptionSpec& option : kOptions) {
            if (in_group(option, group)) options.push_back(&option);
        }
        if (group.sets == kGeneralOptions) {
            text.append("\nOptions:\n");
        } else {
            text.append("\nOptions of ").append(names).append(":\n");
        }
        text.append(option_lines(options)).append(group.note);
    }
    text.append("\nHelp on one command: ").append(kProgram).append(" help COMMAND.\n");
    text.append("Inputs are never removed.\n").append(kExitStatusText).append("\n");
    return text;
}

std::string command_help_text(const Subcommand& command) {
    std::string text("Usage: ");
    text.append(kProgram).append(" ").append(command.name).append(" ").append(command.operands);
    std::string summary(command.summary);
    if (!summary.empty()) summary[0] = static_cast<char>(std::toupper(summary[0]));
    text.append("\n").append(summary).append(".\n\nOptions:\n");
    std::vector<const OptionSpec*> options;
    for (const OptionSpec& option : kOptions) {
        if (command.takes(option.set)) options.push_back(&option);
    }
    text.append(option_lines(options));
    for (const OptionGroup& group : kGroups) {
        if (takes_group(command, group)) text.append(group.note);
    }
    return text;
}

}  // namespace quorvane::cli
