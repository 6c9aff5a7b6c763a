#!/usr/bin/env bash
# Usage: fuzz/run.sh BUILD_DIR [SECONDS]
# Runs each fuzz target of the build for SECONDS (default 20) on one core,
# from the seed corpora and what earlier runs found. Fails on any finding;
# the input that shows it is left in BUILD_DIR/fuzz/artifacts/.
set -euo pipefail
build=${1:?usage: fuzz/run.sh BUILD_DIR [SECONDS]}
seconds=${2:-20}
here="$build/fuzz"
dict="$(cd "$(dirname "$0")" && pwd)/decoder.dict"
mkdir -p "$here/artifacts"
status=0
for target in decoder colors timing recording page formats; do
    mkdir -p "$here/corpus/$target"
    extra=()
    [ "$target" = decoder ] && extra=(-dict="$dict")
    echo "== fuzz $target for ${seconds}s"
    if ! "$here/${target}_fuzz" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -max_len=4096 -print_final_stats=1 -artifact_prefix="$here/artifacts/$target-" \
        "${extra[@]}" "$here/corpus/$target" "$here/seeds/$target" 2>"$here/$target.log"; then
        status=1
        tail -60 "$here/$target.log"
        echo "== fuzz $target: FINDING (see $here/artifacts)"
    else
        grep -E '^(Done|stat::number_of_executed_units|#[0-9]+ +DONE)' "$here/$target.log" || true
    fi
done
exit $status
