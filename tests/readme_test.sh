#!/bin/sh
# The README's examples of the form "$ printf '...' | vorsk [options]" in a
# fenced block show what vorsk prints for them.
#   readme_test.sh SOURCE_DIR VORSK
set -u
readme=$1/README.md
program=$2
workdir=$(mktemp -d) || exit 1
trap 'rm -rf "$workdir"' EXIT
ln -s "$(cd "$(dirname "$program")" && pwd)/$(basename "$program")" "$workdir/vorsk"
awk -v dir="$workdir" '
    /^```/ {in_block = !in_block; file = ""; next}
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
    file != "" {print > (file ".expected")}' "$readme"
examples=0
failures=0
for command_file in "$workdir"/example*.command; do
    [ -e "$command_file" ] || break
    examples=$((examples + 1))
    actual=${command_file%.command}.actual
    PATH=$workdir:$PATH bash "$command_file" >"$actual" 2>&1
    if ! cmp -s "${command_file%.command}.expected" "$actual"; then
        echo "FAIL: the README's example '$(cat "$command_file")' differs:"
        diff "${command_file%.command}.expected" "$actual"
        failures=$((failures + 1))
    fi
done
[ "$examples" -ge 1 ] || { echo "FAIL: no README example was found"; exit 1; }
echo "README examples: $examples, $failures failing"
[ "$failures" -eq 0 ]
