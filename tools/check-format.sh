#!/bin/sh
# Fails, naming the files, when a C++ file of the tree differs from what
# clang-format (the repository's .clang-format) makes of it.
#   tools/check-format.sh          check
#   tools/check-format.sh --fix    rewrite the files in place
set -eu
cd "$(dirname "$0")/.."
files=$(git ls-files --cached --others --exclude-standard '*.cpp' '*.h')
if [ "${1:-}" = --fix ]; then
    clang-format -i $files
    exit 0
fi
bad=
for f in $files; do
    clang-format "$f" | cmp -s - "$f" || bad="$bad $f"
done
if [ -n "$bad" ]; then
    echo "not formatted as .clang-format says (tools/check-format.sh --fix):$bad" >&2
    exit 1
fi
echo "every C++ file is formatted"
