#!/bin/sh
# Prints an md5 of the account of every file of the shared corpus under a
# set of option lists, one line each, so that two builds can be compared:
#
#   tools/accounts-digest.sh build/vorsk > before.txt
#   ... change, rebuild ...
#   tools/accounts-digest.sh build/vorsk | diff before.txt -
#
# CORPUS names the corpus folder (default ../shared/corpus beside the
# checkout); EXTENDED=1 compares the option lists of extended mode instead.
set -u
vorsk=${1:?usage: $0 VORSK}
corpus=${CORPUS:-$(dirname "$0")/../../shared/corpus}
[ -d "$corpus" ] || { echo "no corpus at $corpus" >&2; exit 2; }

if [ "${EXTENDED:-0}" = 1 ]; then
    set -- "-X" "-X -E" "-X -L -D" "-X -CDLE" "-X --color=always" "-X --keys" \
        "-X --summary" "-X --summary=json" "-X --html"
else
    set -- "" "-C" "-D" "-E" "-L" "-CDLE" "--color=always" "--summary" "--html"
fi

tmp=$(mktemp -d) || exit 2
trap 'rm -rf "$tmp"' EXIT
gunzip -c "$corpus/terminfo/terminfo-caps.bin.gz" > "$tmp/terminfo-caps.bin"
files=$(find "$corpus/nasty" "$corpus/terminfo" "$corpus/typescripts" -type f \
    ! -name '*.timing' ! -name '*.gz' ! -name '*.tsv' | sort)
for opts in "$@"; do
    for f in $files "$tmp/terminfo-caps.bin"; do
        # shellcheck disable=SC2086
        sum=$("$vorsk" $opts "$f" 2>&1 | md5sum | cut -c1-32)
        echo "$sum ${opts:-(none)} $(basename "$f")"
        timing=${f%.typescript}.timing
        if [ "$timing" != "$f" ] && [ -f "$timing" ]; then
            # shellcheck disable=SC2086
            sum=$("$vorsk" $opts -t "$timing" "$f" 2>&1 | md5sum | cut -c1-32)
            echo "$sum ${opts:-(none)} -t $(basename "$f")"
            # shellcheck disable=SC2086
            sum=$(cat "$f" | "$vorsk" $opts 2>&1 | md5sum | cut -c1-32)
            echo "$sum ${opts:-(none)} pipe $(basename "$f")"
        fi
    done
done
