#!/usr/bin/env bash
# Usage: manual_page.sh SOURCE_DIR PROGRAM
# Checks that the options the program accepts, --help, the manual page and
# the shell completions name the same options, that the page renders without
# warnings, and that the page's "$ printf ... | vorsk" examples show what the
# program prints today.
set -u
src=$1
program=$2
page=$src/doc/vorsk.1
command_line=$src/src/driver/command_line.cpp
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# Every option, one group a line: the names that --help shows, then after
# "|" the second letters that only the manual page shows.
options_table='
-h --help
-V --version
-C | -^
-D | -"
-E | -:
-L | -&
-I --no-interactive
-X --extended
--keys
--summary
--html
--terminfo
--check
--probe
--screen
--size
--json
--only
--except
--from
--to
--grep
-b --buffered
-t --timings
--input-log
--format
--idle-limit
-c --command
--log
--record
--cast-version
-x
--color --colour'
color_words='always never none auto'
# getopt_long cannot declare ":" as an option letter; the program takes "-:"
# apart from its tables.
outside_tables='-:'

help_names=()
all_names=()
while read -r line; do
    [ -n "$line" ] || continue
    shown=${line%%|*}
    for name in $shown; do help_names+=("$name"); done
    for name in ${line//|/}; do all_names+=("$name"); done
done <<<"$options_table"

contains() {
    local word=$1
    shift
    local item
    for item in "$@"; do [ "$item" = "$word" ] && return 0; done
    return 1
}

# same_names WHERE LISTED FOUND: the option names found in WHERE are exactly
# the listed ones (the two lists are given by the names of arrays).
same_names() {
    local where=$1
    local -n listed=$2 found=$3
    local name
    for name in "${listed[@]}"; do
        contains "$name" "${found[@]}" || fail "$where has no entry for $name"
    done
    for name in "${found[@]}"; do
        contains "$name" "${listed[@]}" || fail "$where shows $name, which is not listed here"
    done
}

# --- The program's own tables ----------------------------------------------
short_string=$(sed -n 's/.*SHORT_OPTIONS = "\(.*\)";.*/\1/p' "$command_line" | sed 's/\\"/"/g')
[ -n "$short_string" ] || fail "no short-option string found in $command_line"
short_string=${short_string#:}
source_names=()
needs_argument=()
for ((i = 0; i < ${#short_string}; i++)); do
    letter=${short_string:i:1}
    [ "$letter" = : ] && continue
    source_names+=("-$letter")
    [ "${short_string:i+1:1}" = : ] && needs_argument+=("-$letter")
done
while IFS=' ' read -r name kind; do
    source_names+=("--$name")
    [ "$kind" = required_argument ] && needs_argument+=("--$name")
done < <(sed -n 's/^ *{"\([a-z-]*\)", *\([a-z_]*\),.*/\1 \2/p' "$command_line")
[ ${#source_names[@]} -gt 10 ] || fail "the option tables of $command_line were not found"

# An option is accepted when the program runs with it and does not call it
# unrecognised.
accepts() {
    local word=$1 err
    local with=()
    # --probe would ask the terminal the tests run on, if any: --help after
    # it ends the run once it is taken.
    [ "$word" = --probe ] && with=(--help)
    if contains "$word" "${needs_argument[@]}"; then
        case $word in
            -c | --command) with=(true) ;;
            --log) with=(/dev/null -c true) ;;
            --format) with=(auto) ;;
            --check) with=(xterm-256color) ;;
            --size) with=(80x24) ;;
            --only | --except) with=(screen) ;;
            --from | --to) with=(byte:0) ;;
            --cast-version) with=(2 --record=/dev/null) ;;
            *) with=(/dev/null) ;;
        esac
    fi
    # --terminfo without a type reads TERM, which the caller may not set.
    err=$(TERM=xterm-256color "$program" "$word" "${with[@]}" </dev/null 2>&1 >/dev/null)
    local status=$?
    [ $status -eq 0 ] && [[ $err != *Unrecognized* && $err != *Unknown* ]]
}
accepts -z && fail "the probe takes -z for an option"
accepts --color=bogus && fail "the probe takes --color=bogus for a colour word"

for name in "${all_names[@]}"; do
    accepts "$name" || fail "$name is listed here but the program refuses it"
    contains "$name" "${source_names[@]}" $outside_tables ||
        fail "$name is listed here but not in the option tables of $command_line"
done
for name in "${source_names[@]}"; do
    contains "$name" "${all_names[@]}" && continue
    accepts "$name" && fail "$name is accepted by the program but not listed here"
done
for word in $color_words; do
    accepts "--color=$word" || fail "the program refuses --color=$word"
done

# --- --help ----------------------------------------------------------------
# The option column: the start of each line that begins with an option, up
# to the first gap of two blanks.
help_found=($("$program" --help | sed -n 's/^ \{1,5\}\(-[^ ].*\)/\1/p' | sed 's/  .*//' |
    grep -oE -- '--?[A-Za-z][A-Za-z-]*' | sort -u))
same_names "--help" help_names help_found

# --- The manual page -------------------------------------------------------
# The tags of the OPTIONS section (the line after each .TP), with the roff
# quoting taken away.
page_found=($(awk '/^\.SH /{in_options = ($2 == "OPTIONS")} in_options && tag {print; tag = 0}
                  in_options && /^\.TP/{tag = 1}' "$page" |
    sed -e 's/^\.[A-Z]* //' -e 's/"//g' -e 's/\\(dq/"/g' -e 's/\\-/-/g' -e 's/\\f[BIRP]//g' |
    grep -oE -- '(^|[ ,[])--?[A-Za-z^"&:][A-Za-z-]*' | sed 's/^[ ,[]//' | sort -u))
same_names "the manual page" all_names page_found
options_text=$(awk '/^\.SH /{in_options = ($2 == "OPTIONS")} in_options' "$page")
for word in $color_words; do
    grep -qx "\.BR* $word.*" <<<"$options_text" || fail "the manual page does not name --color=$word"
done

page_version=$(sed -n 's/^\.TH [^"]*"vorsk \([^"]*\)".*/\1/p' "$page")
program_version=$("$program" --version | sed -n '1s/^vorsk //p')
[ "$page_version" = "$program_version" ] ||
    fail "the manual page is for version '$page_version', the program is $program_version"

if command -v groff >/dev/null; then
    warnings=$(groff -man -ww -Tutf8 -z "$page" 2>&1) || fail "groff failed on the manual page"
    [ -z "$warnings" ] || fail "groff warns about the manual page: $warnings"
else
    fail "groff is not installed (Debian: groff-base), so the rendering is not checked"
fi
if command -v mandoc >/dev/null; then
    lint=$(mandoc -Tlint -Wwarning "$page" 2>&1) || fail "mandoc finds faults in the manual page: $lint"
fi

# The page's "$ printf ... | vorsk" examples show what the program prints.
"$src/tests/check_examples.sh" roff "$page" "$program" 3 || fail "an example of the manual page differs"
examples=$(grep -c '^\$ printf .*| vorsk' "$page")

# --- The completions -------------------------------------------------------
for completion in "$src/completions/vorsk.bash" "$src/completions/_vorsk"; do
    for name in "${help_names[@]}" $color_words; do
        grep -qwF -e "$name" "$completion" || fail "$(basename "$completion") does not offer $name"
    done
done

if [ $failures -ne 0 ]; then
    echo "$failures checks failed" >&2
    exit 1
fi
echo "options: ${#all_names[@]}, manual page examples: $examples: all consistent"
