#!/usr/bin/env bash
# Usage: completion_test.sh SOURCE_DIR
# Runs the bash completion of vorsk on command lines as readline splits them
# and compares what it offers; checks the zsh completion's syntax when zsh is
# installed.
set -u
src=$1
source "$src/completions/vorsk.bash" || exit 1
cd "$(mktemp -d)" || exit 1
trap 'rm -rf "$PWD"' EXIT
touch session.timing session.typescript notes.txt

failures=0
# expect WANTED WORD...: the completion of the last word, with the words
# split as readline splits them: "--color=" is "--color" "=", and
# "--color=n" is "--color" "=" "n".
expect() {
    local wanted=$1
    shift
    COMP_WORDS=("$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _vorsk 2>/dev/null
    local got
    got=$(printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ')
    if [ "$got" != "$wanted " ]; then
        echo "FAIL: [$*] offers '$got', wanted '$wanted '" >&2
        failures=$((failures + 1))
    fi
}
expect '--color --color= --colour --colour=' vorsk --col
expect '--no-interactive' vorsk --no
expect 'always auto never none' vorsk --color =
expect 'always auto' vorsk --color = a
expect 'never none' vorsk -C --colour = n
expect '--color=never --color=none' vorsk --color=n
expect 'session.timing session.typescript' vorsk -t sess
expect 'session.timing' vorsk --timings = session.ti
expect 'notes.txt session.timing session.typescript' vorsk --timings =
expect '--timings=session.timing' vorsk --timings=session.ti
expect 'notes.txt' vorsk -C no
expect 'notes.txt' vorsk session.typescript no
expect '--log=session.timing' vorsk --log=session.ti
expect 'session.timing' vorsk -c true --log = session.ti
expect 'json only' vorsk --summary =
expect '--summary=json' vorsk --summary=j
expect '--only=text,control' vorsk --only=text,con
expect 'delay description' vorsk --except = de
expect 'text,string' vorsk --only = text,st
expect '--except=' vorsk --exc
expect '' vorsk --help ''
expect 'cast' vorsk --format = c
expect '--format=raw' vorsk --format=r
expect 'session.typescript' vorsk --input-log = session.ty

if command -v zsh >/dev/null; then
    zsh -n "$src/completions/_vorsk" || failures=$((failures + 1))
fi
[ $failures -eq 0 ] || exit 1
echo "bash completion: all cases pass"
