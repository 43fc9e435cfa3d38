// completion.cpp -- the bash, zsh and fish completions, written from the option table and the
// command table, so that a shell offers exactly what the parser takes.
#include <algorithm>
#include <string>
#include <vector>

#include "cli/options.h"

namespace quorvane::cli {
namespace {

std::vector<const OptionSpec*> options_of(const Subcommand& command) {
    std::vector<const OptionSpec*> options;
    for (const OptionSpec& option : option_table()) {
        if (command.takes(option.set)) options.push_back(&option);
    }
    return options;
}

// "-r --rod-size", each name the option has.
std::vector<std::string> names_of(const OptionSpec& option) {
    std::vector<std::string> names;
    if (option.short_name != '\0') names.push_back(std::string("-") + option.short_name);
    names.push_back("--" + std::string(option.long_name));
    return names;
}

std::string joined(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& word : words)
        text.append(text.empty() ? "" : " ").append(word);
    return text;
}

// text between single quotes for a POSIX shell or zsh: ' becomes '\''.
std::string sh_quoted(std::string_view text) {
    std::string out("'");
    for (const char c : text) {
        if (c == '\'') {
            out.append("'\\''");
        } else {
            out.push_back(c);
        }
    }
    return out.append("'");
}

constexpr std::string_view kBashBody = R"bash(
_quorvane_cli() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    COMPREPLY=()
    if ((COMP_CWORD == 1)); then
        mapfile -t COMPREPLY < <(compgen -W "$_quorvane_cli_commands -h --help -V --version" \
            -- "$cur")
        return
    fi
    local command=${COMP_WORDS[1]} i
    # "--option=value" reaches us as three words: the option, "=" and the value.
    if [[ $prev == = ]] && ((COMP_CWORD > 2)); then
        prev=${COMP_WORDS[COMP_CWORD - 2]}
    fi
    for ((i = 2; i < COMP_CWORD; i++)); do
        [[ ${COMP_WORDS[i]} == -- ]] && break
    done
    if ((i == COMP_CWORD)); then
        if [[ " $_quorvane_cli_valued " == *" $prev "* ]]; then
            if [[ " $_quorvane_cli_paths " == *" $prev "* ]]; then
                mapfile -t COMPREPLY < <(compgen -f -- "$cur")
            else
                mapfile -t COMPREPLY < <(compgen -W "$(_quorvane_cli_choices_for "$prev")" \
                    -- "$cur")
            fi
            return
        fi
        if [[ $cur == -* ]]; then
            mapfile -t COMPREPLY < <(compgen -W "$(_quorvane_cli_options_for "$command")" \
                -- "$cur")
            return
        fi
    fi
    local ending
    ending=$(_quorvane_cli_files_for "$command")
    if [[ -n $ending ]]; then
        # Folders too, to walk into them.
        mapfile -t COMPREPLY < <({
            compgen -d -- "$cur"
            compgen -f -X "!*.$ending" -- "$cur"
        } | sort -u)
    else
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
    fi
}

complete -F _quorvane_cli -o filenames quorvane-cli
)bash";

std::string bash_script(std::span<const Subcommand> table) {
    std::string text(
        "# quorvane-cli completion for bash, written by `quorvane-cli --completion bash` from the\n"
        "# program's option table.\n\n");
    std::vector<std::string> commands;
    for (const Subcommand& command : table)
        commands.emplace_back(command.name);
    text.append("_quorvane_cli_commands=\"").append(joined(commands)).append("\"\n");
    std::vector<std::string> valued;
    std::vector<std::string> paths;
    std::string choices;
    for (const OptionSpec& option : option_table()) {
        if (!option.takes_value()) continue;
        for (const std::string& name : names_of(option)) {
            if (std::find(valued.begin(), valued.end(), name) != valued.end()) continue;
            valued.push_back(name);
            if (option.takes_path()) paths.push_back(name);
            if (!option.choices.empty()) {
                choices.append("        ").append(name).append(") echo ");
                choices.append(sh_quoted(option.choices)).append(" ;;\n");
            }
        }
    }
    text.append(
        "# Followed by a value: a path, or a number, list or text (some of given choices).\n");
    text.append("_quorvane_cli_valued=\"").append(joined(valued)).append("\"\n");
    text.append("_quorvane_cli_paths=\"").append(joined(paths)).append("\"\n\n");
    text.append("_quorvane_cli_choices_for() {\n    case $1 in\n").append(choices);
    text.append("    esac\n}\n\n_quorvane_cli_options_for() {\n    case $1 in\n");
    for (const Subcommand& command : table) {
        std::vector<std::string> names;
        for (const OptionSpec* option : options_of(command)) {
            for (const std::string& name : names_of(*option))
                names.push_back(name);
        }
        text.append("        ").append(command.name).append(") echo \"").append(joined(names));
        text.append("\" ;;\n");
    }
    text.append("    esac\n}\n\n# The ending of a command's input files; nothing for any file.\n");
    text.append("_quorvane_cli_files_for() {\n    case $1 in\n");
    for (const Subcommand& command : table) {
        if (command.ending.empty()) continue;
        text.append("        ").append(command.name).append(") echo ");
        text.append(command.ending).append(" ;;\n");
    }
    text.append("    esac\n}\n").append(kBashBody);
    return text;
}

// A description between [ and ] of an _arguments option entry.
std::string zsh_description(std::string_view help) {
    std::string out;
    for (const char c : help) {
        if (c == '[' || c == ']' || c == ':' || c == '\\') out.push_back('\\');
        out.push_back(c);
    }
    return out;
}

std::string zsh_script(std::span<const Subcommand> table) {
    std::string text(
        "#compdef quorvane-cli\n"
        "# quorvane-cli completion for zsh, written by `quorvane-cli --completion zsh` from the\n"
        "# program's option table.\n\n"
        "_quorvane_cli() {\n"
        "    local -a commands\n"
        "    commands=(\n");
    for (const Subcommand& command : table) {
        text.append("        ");
        text.append(sh_quoted(std::string(command.name) + ":" + std::string(command.summary)));
        text.append("\n");
    }
    text.append(
        "    )\n"
        "    if ((CURRENT == 2)); then\n"
        "        _describe -t commands 'quorvane-cli command' commands\n"
        "        compadd -- -h --help -V --version\n"
        "        return\n"
        "    fi\n"
        "    local command=${words[2]}\n"
        "    shift 1 words\n"
        "    ((CURRENT--))\n"
        "    case $command in\n");
    for (const Subcommand& command : table) {
        text.append("        ").append(command.name).append(")\n");
        text.append("            _arguments -s -S : \\\n");
        for (const OptionSpec* option : options_of(command)) {
            for (const std::string& name : names_of(*option)) {
                std::string entry(name);
                if (option->takes_value()) entry.append(name.size() == 2 ? "+" : "=");
                entry.append("[").append(zsh_description(option->help)).append("]");
                if (option->takes_path()) {
                    entry.append(":path:_files");
                } else if (!option->choices.empty()) {
                    entry.append(":").append(option->value).append(":(");
                    entry.append(option->choices).append(")");
                } else if (option->takes_value()) {
                    entry.append(":").append(option->value).append(": ");
                }
                text.append("                ").append(sh_quoted(entry)).append(" \\\n");
            }
        }
        std::string files("*:file:_files");
        if (!command.ending.empty()) {
            files.append(" -g \"*.").append(command.ending).append("(-.)\"");
        }
        text.append("                ").append(sh_quoted(files)).append("\n");
        text.append("            ;;\n");
    }
    text.append(
        "    esac\n"
        "}\n\n"
        "if [[ $funcstack[1] == _quorvane-cli ]]; then\n"
        "    _quorvane_cli \"$@\"\n"
        "else\n"
        "    compdef _quorvane_cli quorvane-cli\n"
        "fi\n");
    return text;
}

// text between single quotes for fish: ' and \ are escaped.
std::string fish_quoted(std::string_view text) {
    std::string out("'");
    for (const char c : text) {
        if (c == '\'' || c == '\\') out.push_back('\\');
        out.push_back(c);
    }
    return out.append("'");
}

std::string fish_script(std::span<const Subcommand> table) {
    std::string text(
        "# quorvane-cli completion for fish, written by `quorvane-cli --completion fish` from the\n"
        "# program's option table.\n\n"
        "complete -c quorvane-cli -f\n");
    const auto option_line = [&](std::string_view condition, const OptionSpec& option) {
        text.append("complete -c quorvane-cli -n ").append(condition);
        if (option.short_name != '\0') text.append(" -s ").push_back(option.short_name);
        text.append(" -l ").append(option.long_name);
        if (option.takes_path()) {
            text.append(" -r -F");
        } else if (option.takes_value()) {
            text.append(" -x");
            if (!option.choices.empty()) text.append(" -a ").append(fish_quoted(option.choices));
        }
        text.append(" -d ").append(fish_quoted(option.help)).append("\n");
    };
    for (const Subcommand& command : table) {
        text.append("complete -c quorvane-cli -n __fish_use_subcommand -a ").append(command.name);
        text.append(" -d ").append(fish_quoted(command.summary)).append("\n");
    }
    for (const OptionSpec& option : option_table()) {
        if (option.set == kGeneralOptions && option.apply == nullptr) {
            option_line("__fish_use_subcommand", option);
        }
    }
    for (const Subcommand& command : table) {
        const std::string condition =
            "'__fish_seen_subcommand_from " + std::string(command.name) + "'";
        for (const OptionSpec* option : options_of(command))
            option_line(condition, *option);
        text.append("complete -c quorvane-cli -n ").append(condition);
        if (command.ending.empty()) {
            text.append(" -F\n");
        } else {
            text.append(" -k -a '(__fish_complete_suffix .").append(command.ending);
            text.append(")'\n");
        }
    }
    return text;
}

}  // namespace

std::string completion_script(std::span<const Subcommand> table, std::string_view shell) {
    if (shell == "bash") return bash_script(table);
    if (shell == "zsh") return zsh_script(table);
    if (shell == "fish") return fish_script(table);
    return {};
}

}  // namespace quorvane::cli
