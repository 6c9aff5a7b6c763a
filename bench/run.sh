#!/bin/sh
# Times vorsk on large inputs, from a file and through a pipe, in the
# classic and the extended mode, beside the peers that are installed, and
# prints input MB/s, peak resident memory, the ratios and, where valgrind
# is installed, the instructions per input byte on the first 4 MB. Medians
# of REPS runs, all in one run on one machine.
#
#   bench/run.sh [VORSK]      (make bench)
#
# Environment: CORPUS (the corpus folder, default ../shared/corpus),
# BENCH_DIR (where the inputs are generated, default build/bench), REPS (3).
set -eu
vorsk=${1:-build/vorsk}
corpus=${CORPUS:-../shared/corpus}
dir=${BENCH_DIR:-build/bench}
reps=${REPS:-3}
size=67108864
count_size=4194304
mkdir -p "$dir"

# The inputs: real streams (-r leaves out the hostile ones, on which some
# peers crash), the full mix, two synthetic extremes, UTF-8 text in many
# scripts (the corpus's translations of vim's tutor) and the same text in
# ASCII.
[ -f "$dir/real.bin" ] || sh "$corpus/make_bench.sh" -r "$dir/real.bin" >/dev/null
[ -f "$dir/full.bin" ] || sh "$corpus/make_bench.sh" "$dir/full.bin" >/dev/null
[ -f "$dir/text.bin" ] ||
    yes 'The quick brown fox jumps over the lazy dog; 0123456789 and more plain text.' |
    head -c $size > "$dir/text.bin"
[ -f "$dir/csi.bin" ] ||
    yes "$(printf '\033[1;31m\033[10;20H\033[K\033[?25l\033[38;5;196m\033[0m\033[2J\033[?1049h')" |
    head -c $size > "$dir/csi.bin"
if [ ! -f "$dir/utf8.bin" ]; then
    sample="$corpus/nasty/utf8-scripts.txt"
    rounds=$(( size / $(wc -c < "$sample") + 1 ))
    i=0
    while [ $i -lt $rounds ]; do cat "$sample"; i=$((i + 1)); done 2>/dev/null | head -c $size > "$dir/utf8.bin"
fi
# The same text with each character beyond ASCII a "?": the same lines,
# so that the cost of UTF-8 itself shows.
if [ ! -f "$dir/ascii.bin" ]; then
    sample="$corpus/nasty/utf8-scripts.txt"
    perl -CSD -pe 's/[^\x00-\x7f]/?/g' "$sample" > "$dir/ascii.txt"
    rounds=$(( size / $(wc -c < "$dir/ascii.txt") + 1 ))
    i=0
    while [ $i -lt $rounds ]; do cat "$dir/ascii.txt"; i=$((i + 1)); done 2>/dev/null | head -c $size > "$dir/ascii.bin"
fi

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

# instructions_per_byte INPUT [OPTIONS]: callgrind's count on the first
# 4 MB of INPUT, per byte; "-" without valgrind.
instructions_per_byte() {
    if ! command -v valgrind >/dev/null 2>&1; then
        echo "-"
        return
    fi
    head -c $count_size "$1" > "$dir/head.bin"
    shift
    valgrind --tool=callgrind --callgrind-out-file="$dir/cg.out" "$vorsk" "$@" "$dir/head.bin" \
        > /dev/null 2> "$dir/cg.log" || true
    awk -v n=$count_size '/refs:/ { gsub(",", "", $NF); printf "%.1f", $NF / n }' "$dir/cg.log"
}

mb=$(awk -v s=$size 'BEGIN { printf "%.1f", s / 1e6 }')
echo "vorsk: $vorsk ($("$vorsk" --version | head -n 1)); $(uname -m), $(nproc) cores; $reps runs each, medians"
printf '%-6s %-24s %9s %9s %9s\n' input command seconds MB/s peak-KB

measure() {  # measure INPUT LABEL COMMAND: prints a line, leaves MB/s in $dir/last
    s=$(median_seconds "$3")
    rate=$(awk -v m="$mb" -v s="$s" 'BEGIN { if (s > 0) printf "%.1f", m / s; else print "-" }')
    printf '%-6s %-24s %9s %9s %9s\n' "$1" "$2" "$s" "$rate" "$(peak_kb "$3")"
    echo "$rate" > "$dir/last"
}

: > "$dir/summary"
for input in real full text csi utf8 ascii; do
    f="$dir/$input.bin"
    measure $input "vorsk FILE" "$vorsk $f"; file=$(cat "$dir/last")
    measure $input "cat FILE | vorsk" "cat $f | $vorsk"; pipe=$(cat "$dir/last")
    measure $input "vorsk -X FILE" "$vorsk -X $f"; extended=$(cat "$dir/last")
    if [ -f "$f.timing" ]; then measure $input "vorsk -t TIMING FILE" "$vorsk -t $f.timing $f"; fi
    measure $input "cat -v FILE" "cat -v $f"; catv=$(cat "$dir/last")
    # The peers crash on the hostile streams of the full mix.
    vterm=-
    ansi=-
    if [ "$input" != full ]; then
        if command -v vterm-dump >/dev/null 2>&1; then
            measure $input "vterm-dump FILE" "vterm-dump $f"; vterm=$(cat "$dir/last")
        fi
        if command -v ansi2txt >/dev/null 2>&1; then
            measure $input "ansi2txt < FILE" "ansi2txt < $f"; ansi=$(cat "$dir/last")
        fi
    fi
    echo "$input $file $extended $pipe $vterm $ansi $catv $(instructions_per_byte "$f") $(instructions_per_byte "$f" -X)" >> "$dir/summary"
done

# Side by side: input MB/s of each program, then vorsk's ratios: to
# vterm-dump, extended to classic, pipe to file; then callgrind's
# instructions per input byte on the first 4 MB, classic and -X.
echo
printf '%-6s %8s %8s %8s %8s %8s %8s | %7s %7s %7s | %7s %7s\n' \
    input vorsk "-X" pipe vterm ansi2txt "cat -v" "/vterm" "-X/cl" "pipe" "ins/B" "-X i/B"
awk '
function ratio(a, b) { return (a == "-" || b == "-" || b == 0) ? "-" : sprintf("%.2f", a / b) }
{ printf "%-6s %8s %8s %8s %8s %8s %8s | %7s %7s %7s | %7s %7s\n",
      $1, $2, $3, $4, $5, $6, $7, ratio($2, $5), ratio($3, $2), ratio($4, $2), $8, $9 }
$1 == "text" { text_x = $3 }
$1 == "utf8" { utf8_x = $3 }
$1 == "ascii" { ascii_x = $3 }
END {
    if (text_x != "" && utf8_x != "") printf "UTF-8 text / ASCII text, -X: %s\n", ratio(utf8_x, text_x)
    if (ascii_x != "" && utf8_x != "") printf "UTF-8 text / the same lines in ASCII, -X: %s\n", ratio(utf8_x, ascii_x)
}
' "$dir/summary"

# The page (--html) of the real streams: its size per input byte on the
# first 4 MB, callgrind's instructions per input byte there, and its
# peak memory through a pipe over the whole input; classic and -X.
echo
printf '%-10s %9s %9s %9s\n' page size/B ins/B peak-KB
head -c $count_size "$dir/real.bin" > "$dir/page-head.bin"
for mode in "" "-X"; do
    # shellcheck disable=SC2086
    size=$("$vorsk" $mode --html "$dir/page-head.bin" | wc -c)
    printf '%-10s %9s %9s %9s\n' "--html${mode:+ $mode}" \
        "$(awk -v s="$size" -v n=$count_size 'BEGIN { printf "%.2f", s / n }')" \
        "$(instructions_per_byte "$dir/real.bin" $mode --html)" \
        "$(peak_kb "cat $dir/real.bin | $vorsk $mode --html")"
done

# The other views of the real streams: the screen at the end, JSON Lines
# and two selections; callgrind's instructions per input byte on the first
# 4 MB and peak memory through a pipe over the whole input.
echo
printf '%-22s %9s %9s\n' view ins/B peak-KB
for view in "-X --screen" "-X --json" "-X --only=SGR" "-X --grep=SGR"; do
    # shellcheck disable=SC2086
    printf '%-22s %9s %9s\n' "$view" "$(instructions_per_byte "$dir/real.bin" $view)" \
        "$(peak_kb "cat $dir/real.bin | $vorsk $view")"
done
