#!/bin/sh
# Usage: check_output.sh EXPECTED PROGRAM [ARG...]
# Runs PROGRAM with the arguments and compares its output with EXPECTED.
expected=$1
shift
actual=$(mktemp) || exit 1
trap 'rm -f "$actual"' EXIT
"$@" > "$actual" || { echo "exit status $?" >&2; exit 1; }
if ! cmp -s "$expected" "$actual"; then
    diff -u "$expected" "$actual" | head -40
    exit 1
fi
