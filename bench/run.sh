#!/bin/sh
# Times vorsk on large inputs, from a file and through a pipe, beside the
# peers that are installed, and prints input MB/s, the ratios and peak
# resident memory. Medians of REPS runs, all in one run on one machine.
#
#   bench/run.sh [VORSK]      (make bench)
#
# Environment: CORPUS (the corpus folder, default ../shared/corpus),
# BENCH_DIR (where the inputs are generated, default build/bench), REPS (5).
set -eu
vorsk=${1:-build/vorsk}
corpus=${CORPUS:-../shared/corpus}
dir=${BENCH_DIR:-build/bench}
reps=${REPS:-5}
size=67108864
mkdir -p "$dir"

# The inputs: real streams (-r leaves out the hostile ones, on which some
# peers crash), the full mix, and two synthetic extremes.
[ -f "$dir/real.bin" ] || sh "$corpus/make_bench.sh" -r "$dir/real.bin" >/dev/null
[ -f "$dir/full.bin" ] || sh "$corpus/make_bench.sh" "$dir/full.bin" >/dev/null
[ -f "$dir/text.bin" ] ||
    yes 'The quick brown fox jumps over the lazy dog; 0123456789 and more plain text.' |
    head -c $size > "$dir/text.bin"
[ -f "$dir/csi.bin" ] ||
    yes "$(printf '\033[1;31m\033[10;20H\033[K\033[?25l\033[38;5;196m\033[0m\033[2J\033[?1049h')" |
    head -c $size > "$dir/csi.bin"

now() { date +%s%N; }

# median_seconds COMMAND: the median wall time of REPS runs, in seconds.
median_seconds() {
    i=0
    : > "$dir/times"
    while [ $i -lt "$reps" ]; do
        start=$(now)
        sh -c "$1" > /dev/null 2>&1 || true
        end=$(now)
        echo $(( end - start )) >> "$dir/times"
        i=$((i + 1))
    done
    sort -n "$dir/times" | awk '{ t[NR] = $1 } END { printf "%.3f", t[int((NR + 1) / 2)] / 1e9 }'
}

peak_kb() {
    if [ -x /usr/bin/time ]; then
        /usr/bin/time -f %M -o "$dir/rss" sh -c "$1" > /dev/null 2>&1 || true
        tail -n 1 "$dir/rss"
    else
        echo "-"
    fi
}

mb=$(awk -v s=$size 'BEGIN { printf "%.1f", s / 1e6 }')
echo "vorsk: $vorsk ($("$vorsk" --version | head -n 1)); $(uname -m), $(nproc) cores; $reps runs each, medians"
printf '%-10s %-28s %9s %9s %9s\n' input command seconds MB/s peak-KB

measure() {  # measure INPUT LABEL COMMAND
    s=$(median_seconds "$3")
    rate=$(awk -v m="$mb" -v s="$s" 'BEGIN { if (s > 0) printf "%.1f", m / s; else print "-" }')
    printf '%-10s %-28s %9s %9s %9s\n' "$1" "$2" "$s" "$rate" "$(peak_kb "$3")"
    echo "$s"  > "$dir/last"
}

for input in real full text csi; do
    f="$dir/$input.bin"
    measure $input "vorsk FILE" "$vorsk $f"; file_s=$(cat "$dir/last")
    measure $input "cat FILE | vorsk" "cat $f | $vorsk"; pipe_s=$(cat "$dir/last")
    x_s=""
    if [ "$input" = real ] || [ "$input" = text ]; then
        measure $input "vorsk -X FILE" "$vorsk -X $f"; x_s=$(cat "$dir/last")
    fi
    if [ -f "$f.timing" ]; then measure $input "vorsk -t TIMING FILE" "$vorsk -t $f.timing $f"; fi
    measure $input "cat -v FILE" "cat -v $f"
    peer_s=""
    if [ "$input" = real ] || [ "$input" = text ] || [ "$input" = csi ]; then
        if command -v vterm-dump >/dev/null 2>&1; then
            measure $input "vterm-dump FILE" "vterm-dump $f"; peer_s=$(cat "$dir/last")
        fi
        if command -v ansi2txt >/dev/null 2>&1; then
            measure $input "ansi2txt < FILE" "ansi2txt < $f"
        fi
    fi
    awk -v f="$file_s" -v p="$pipe_s" -v v="$peer_s" -v x="$x_s" -v name="$input" 'BEGIN {
        printf "%-10s pipe/file throughput ratio %.2f", name, f / p
        if (x != "") printf "; -X/classic %.2f", f / x
        if (v != "") printf "; vorsk/vterm-dump %.2f", v / f
        printf "\n" }'
done
