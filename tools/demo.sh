#!/bin/sh
# make demo: a short stream first, then a recorded bash session, paged
# when the output is a terminal.
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
