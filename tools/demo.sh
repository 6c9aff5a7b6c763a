#!/bin/sh
# make demo: a short stream first, then a recorded bash session, paged
# when the output is a terminal, then a full-screen program's last redraw
# and the screen it left.
set -eu
vorsk=${1:-build/vorsk}
examples=$(dirname "$0")/../examples

printf '%s\n' "What a program sends to its terminal, here printf 'ls\r\n\033[1;31mhi\033[m\n':"
echo
printf 'ls\r\n\033[1;31mhi\033[m\n' | "$vorsk" --color=auto
echo
set -- -t "$examples/bash-readline.timing" "$examples/bash-readline.typescript"
if [ -t 1 ] && command -v less >/dev/null 2>&1; then
    printf 'Next: a recorded bash session, in less (q to leave). Press Enter: '
    read -r _ || true
    "$vorsk" --color=always "$@" | less -R
else
    echo "The start of a recorded bash session, with its pauses (lines starting with @):"
    echo
    "$vorsk" "$@" > "${TMPDIR:-/tmp}/vorsk-demo.$$"
    head -n 30 "${TMPDIR:-/tmp}/vorsk-demo.$$"
    echo "... $(($(wc -l < "${TMPDIR:-/tmp}/vorsk-demo.$$") - 30)) more lines: $vorsk $*"
    rm -f "${TMPDIR:-/tmp}/vorsk-demo.$$"
fi

echo
echo "A full-screen program, less paging a licence: the start of the account of"
echo "its last redraw, then the screen it left (-X --screen=alt):"
echo
# The account from the pause before the last redraw up to the screen, cut
# after 16 lines, then the screen.
"$vorsk" -X --screen=alt -t "$examples/less-gpl.timing" "$examples/less-gpl.typescript" |
    awk '/^@ / { previous = current; current = "" }
         !screen { current = current $0 "\n" }
         /^= Screen/ { screen = 1; n = split(previous, lines, "\n")
                       for (i = 1; i <= 16 && i < n; i++) print lines[i]
                       print "..."; print; next }
         screen && /^=\|/ { print }
         screen && !/^=\|/ { exit }'
