#!/usr/bin/env bash
# completion_test.sh -- holds the bash completion and the manual page against the program itself:
# the commands of --help are offered, every command is offered exactly the options it accepts,
# values are not completed as options, input files are filtered by their ending, and the manual
# page names every command and option of --help.
#   completion_test.sh QUORVANE_CLI COMPLETION_FILE MANUAL_PAGE_SOURCE
set -uo pipefail
cli=$(realpath "$1") completion=$(realpath "$2") manual=$(realpath "$3")
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
