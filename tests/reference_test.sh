#!/bin/sh
# Usage: reference_test.sh CORPUS_DIR EXAMPLES_DIR PROGRAM
#
# The fast paths (the memo of sequences, runs of text taken in one piece,
# the writer's inline paths, the page's whole rows) against the general
# paths alone (VORSK_REFERENCE=1): every corpus file and example gives the
# same account both ways, classic and with -X, with and without the
# summary, as a page, from a file and through a pipe.
set -u
corpus=$1 examples=$2 program=$3
failures=0 checked=0
tmp=$(mktemp -d) || exit 2
trap 'rm -rf "$tmp"' EXIT

for file in $(find "$corpus" "$examples" -type f \( -name '*.bin' -o -name '*.txt' \
        -o -name '*.typescript' -o -name '*.cast' \) | sort); do
    for opts in "" "-X" "--summary" "-X --summary" "-X -C -E" "--html" "-X --html"; do
        # shellcheck disable=SC2086
        "$program" -I $opts "$file" > "$tmp/fast" 2>&1
        # shellcheck disable=SC2086
        VORSK_REFERENCE=1 "$program" -I $opts "$file" > "$tmp/general" 2>&1
        # shellcheck disable=SC2086
        VORSK_REFERENCE=1 "$program" -I $opts < "$file" > "$tmp/piped" 2>&1
        checked=$((checked + 1))
        if ! cmp -s "$tmp/fast" "$tmp/general"; then
            echo "FAIL: $opts $file: the fast paths give another account than the general paths"
            diff "$tmp/fast" "$tmp/general" | head -10
            failures=$((failures + 1))
        elif ! cmp -s "$tmp/fast" "$tmp/piped" && [ "${file%.cast}" = "$file" ]; then
            echo "FAIL: $opts $file: through a pipe the general paths give another account"
            diff "$tmp/fast" "$tmp/piped" | head -10
            failures=$((failures + 1))
        fi
    done
done
echo "reference: $checked passed, $failures failed" | sed "s/$checked passed/$((checked - failures)) passed/"
[ "$failures" -eq 0 ]
