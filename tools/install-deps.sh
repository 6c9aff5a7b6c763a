#!/bin/sh
# Installs the Debian 12 packages that a set of make targets needs and this
# machine lacks, when run as root; otherwise prints the one apt-get command
# that would and fails.
#
#   tools/install-deps.sh build     what building vorsk needs (make, make demo)
#   tools/install-deps.sh check     and what the tests need (make check; tmux
#                                   answers the queries of --probe, libvterm
#                                   is the screen --screen is compared with)
#   tools/install-deps.sh ci        and what .ci/run adds: the sanitizers'
#                                   and fuzzers' compiler, packaging tools,
#                                   a browser for the --html test, and the
#                                   benchmark library the bench is built with
#   tools/install-deps.sh package   what make package needs: dpkg-dev, and
#                                   file for dpkg-shlibdeps
#   tools/install-deps.sh bench     what make bench runs: the benchmark
#                                   library, valgrind and the peers
set -eu

build="cmake g++ make pkg-config libutf8proc-dev libsimdjson-dev libncurses-dev zlib1g-dev"
check="$build libgtest-dev groff-base python3 tmux libvterm-dev"
ci="$check clang libclang-rt-14-dev dpkg-dev file clang-format chromium libbenchmark-dev"
package="$build dpkg-dev file"
bench="$build libbenchmark-dev valgrind libvterm-bin colorized-logs"

case "${1:-}" in
    build) wanted=$build ;;
    check) wanted=$check ;;
    ci) wanted=$ci ;;
    package) wanted=$package ;;
    bench) wanted=$bench ;;
    *) echo "usage: $0 build|check|ci|package|bench" >&2; exit 2 ;;
esac

missing=
for package in $wanted; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    case $status in
        *" installed") ;;
        *) missing="$missing $package" ;;
    esac
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "vorsk needs these Debian packages, which are not installed:$missing" >&2
    echo "Install them with:" >&2
    echo "    sudo apt-get install$missing" >&2
    exit 1
fi
echo "Installing:$missing"
apt-get update -qq
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing
