#!/bin/sh
# Runs the examples of the form "$ printf '...' | vorsk [options]" in a
# document and compares what vorsk prints with the lines that follow them,
# up to the next command or the end of the block.
#   check_examples.sh roff|markdown FILE PROGRAM MINIMUM
# roff: the manual page, blocks between .EX and .EE, with its escapes;
# markdown: fenced blocks. Fails when an example differs or fewer than
# MINIMUM were found.
set -u
kind=$1
document=$2
program=$3
minimum=$4
workdir=$(mktemp -d) || exit 1
trap 'rm -rf "$workdir"' EXIT
ln -s "$(cd "$(dirname "$program")" && pwd)/$(basename "$program")" "$workdir/vorsk"
if [ "$kind" = roff ]; then start_re='^[.]EX'; end_re='^[.]EE'; else start_re='^```'; end_re='^```'; fi
awk -v dir="$workdir" -v start_re="$start_re" -v end_re="$end_re" '
    !in_block && $0 ~ start_re {in_block = 1; next}
    in_block && $0 ~ end_re {in_block = 0; file = ""; next}
    !in_block {next}
    /^\$ / {
        file = ""
        if ($0 ~ /^\$ printf .*\| vorsk/) {
            n++
            file = dir "/example" n
            print substr($0, 3) > (file ".command")
            printf "" > (file ".expected")
        }
        next
    }
    file != "" {print > (file ".expected")}' "$document"
examples=0
failures=0
for command_file in "$workdir"/example*.command; do
    [ -e "$command_file" ] || break
    examples=$((examples + 1))
    expected=${command_file%.command}.expected
    if [ "$kind" = roff ]; then
        # The roff escapes of the page, back to what a shell user types.
        sed -i -e 's/\\(aq/'"'"'/g' -e 's/\\(dq/"/g' -e 's/\\-/-/g' -e 's/\\&//g' -e 's/\\e/\\/g' \
            "$command_file" "$expected"
    fi
    actual=${command_file%.command}.actual
    # The terminal type and the shell that a command run with -c shows.
    PATH=$workdir:$PATH TERM=xterm-256color SHELL=/bin/sh bash "$command_file" >"$actual" 2>&1
    if ! cmp -s "$expected" "$actual"; then
        printf 'FAIL: the example %s of %s differs:\n%s\n' "$(cat "$command_file")" "$document" "$(diff "$expected" "$actual")" >&2
        failures=$((failures + 1))
    fi
done
if [ "$examples" -lt "$minimum" ]; then
    echo "FAIL: only $examples examples of $document were checked" >&2
    failures=$((failures + 1))
fi
echo "examples of $(basename "$document"): $examples"
[ "$failures" -eq 0 ]
