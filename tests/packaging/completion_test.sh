#!/usr/bin/env bash
# completion_test.sh -- holds the completions, the help of each command and the manual page
# against the program itself: the commands of --help are offered, every command is offered exactly
# the options it accepts (by bash, zsh and fish alike) and its own help lists exactly those,
# values are not completed as options, input files are filtered by their ending, and the manual
# page names every command and option of --help.
#   completion_test.sh QUORVANE_CLI MANUAL_PAGE_SOURCE BASH_COMPLETION ZSH_COMPLETION FISH_COMPLETION
set -uo pipefail
cli=$(realpath "$1") manual=$(realpath "$2") completion=$(realpath "$3")
zsh_completion=$(realpath "$4") fish_completion=$(realpath "$5")
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

help=$("$cli" --help)
commands=$(sed -n '/^Commands:/,/^$/p' <<<"$help" | awk 'NR > 1 && NF { print $1 }' | sort)
# Every option of the help, and the ones followed by a value (PATH, N or TEXT after them).
options=$(grep -oE '(^|[ ,])--?[a-zA-Z][a-z0-9-]*' <<<"$help" | tr -d ' ,' | sort -u)
valued=$(grep -oE '^ +-[-a-z0-9, ]* [A-Z]+ ' <<<"$help" | grep -oE -- '--?[a-z][-a-z0-9]*' | sort -u)

# shellcheck source=/dev/null
source "$completion"
complete -p quorvane-cli | grep -q -- '-F _quorvane_cli' || fail "no completion for quorvane-cli"
offered() {  # the completion's answer for the words given, the last being the one completed
    COMP_WORDS=(quorvane-cli "$@")
    COMP_CWORD=$#
    _quorvane_cli
    printf '%s\n' "${COMPREPLY[@]}" | sed '/^$/d' | sort
}

got=$(offered '' | grep -v '^-')
[[ $got == "$commands" ]] || fail "commands offered: $(echo $got); --help lists: $(echo $commands)"

# An option is accepted when the program does not call it unknown or not applicable.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
all_offered=""
for command in $commands; do
    completed=$(offered "$command" -)
    all_offered+=" $completed"
    for option in $options; do
        value=()
        if grep -qx -- "$option" <<<"$valued"; then
            value=(2)
            [[ $option == -o || $option == --output ]] && value=("$work/out")
        fi
        said=$("$cli" "$command" "$option" "${value[@]}" "$work/missing" 2>&1)
        [[ $said =~ "unknown option"|"do not apply" ]] && accepted=no || accepted=yes
        grep -qx -- "$option" <<<"$completed" && shown=yes || shown=no
        [[ $accepted == "$shown" ]] ||
            fail "$command $option: accepted by the program: $accepted, offered: $shown"
    done
done
# The options a command's help lists, the options zsh and fish offer for it.
help_options() {
    "$cli" "$1" --help | grep -oE '^ +-[^ ]+(, -[^ ]+)?' | grep -oE -- '--?[a-zA-Z][-a-z0-9]*' | sort
}
zsh_offered() {
    # _arguments and _describe stand in for zsh's completion system: they print what it would
    # offer, an option's names without the description and value that follow them.
    zsh -f -c '
        compdef() { :; }
        compadd() { shift; print -l -- "$@"; }
        _describe() { local -a list; list=("${(@P)${@[-1]}}"); print -l -- "${list[@]%%:*}"; }
        _arguments() {
            local entry options=0
            for entry in "$@"; do
                if [[ $entry == : ]]; then options=1; continue; fi
                ((options)) && [[ $entry == -* ]] || continue
                entry=${entry%%\[*}
                print -- ${entry%[+=]}
            done
        }
        source "$1"
        shift
        words=(quorvane-cli "$@")
        CURRENT=$#words
        _quorvane_cli' zsh "$zsh_completion" "$@" | sed '/^$/d' | sort
}
fish_offered() {
    fish --no-config -c "source '$fish_completion'; complete -C 'quorvane-cli $*'" | cut -f1 | sort
}
got=$(zsh_offered '' | grep -v '^-')
[[ $got == "$commands" ]] || fail "zsh: commands offered: $(echo $got)"
got=$(fish_offered '' | grep -v '^-')
[[ $got == "$commands" ]] || fail "fish: commands offered: $(echo $got)"
for command in $commands; do
    completed=$(offered "$command" -)
    got=$(help_options "$command")
    [[ $got == "$completed" ]] || fail "$command --help lists $(echo $got); accepted: $(echo $completed)"
    got=$(zsh_offered "$command" -)
    [[ $got == "$completed" ]] || fail "zsh: $command offers $(echo $got); accepted: $(echo $completed)"
    got=$(fish_offered "$command" -)
    [[ $got == "$completed" ]] || fail "fish: $command offers $(echo $got); accepted: $(echo $completed)"
done

extra=$(comm -13 <(echo "$options") <(tr ' ' '\n' <<<"$all_offered" | sed '/^$/d' | sort -u))
[[ -z $extra ]] || fail "offered but not in --help: $(echo $extra)"

for option in $valued; do
    got=$(offered pack "$option" -)
    [[ -z $got ]] || fail "after $option options were offered: $(echo $got)"
done

mkdir -p "$work/folder"
touch "$work/a.bin.rod" "$work/b.bin" "$work/c.zlib"
cd "$work" || exit 1
for row in "unpack:a.bin.rod folder/" "test:a.bin.rod folder/" "decompress:c.zlib folder/" \
    "pack:a.bin.rod b.bin c.zlib folder" "compress:a.bin.rod b.bin c.zlib folder" \
    "info:a.bin.rod folder/" "detect:a.bin.rod folder/" "study:a.bin.rod b.bin c.zlib folder"; do
    command=${row%%:*}
    expected=$(tr ' ' '\n' <<<"${row#*:}" | sed 's,/$,,' | sort)
    got=$(offered "$command" '')
    [[ $got == "$expected" ]] || fail "$command files offered: $(echo $got); expected: ${row#*:}"
done
got=$(offered pack -- '-')
[[ -z $got ]] || fail "options offered after --: $(echo $got)"

# The manual page writes a hyphen as \-.
page=$(sed 's/\\-/-/g' "$manual")
for word in $commands $options; do
    grep -qE -- "(^|[^-a-z])$word([^-a-z]|$)" <<<"$page" || fail "manual page lacks $word"
done

echo "$failures failed"
((failures == 0))
