#!/bin/bash
# SPDX-License-Identifier: MIT
# One EAN-13 PNG per process, the way scripts, Makefiles and web back ends call a generator:
# varlen-cli against zint, side by side in one run. Each round runs each program RUNS times, every
# run writing a label of its own into a fresh folder (BENCH_DIR, default /tmp), and takes the
# processor time (user + system) its runs used, read from the shell's accounting of its children;
# the rounds alternate which program goes first. Reported: the median over the rounds of the
# processor time per run, the ratio, and the peak memory (maximum resident set) of one run of each.
# Both write text under the bars: zint with its own built-in font, varlen-cli in the face fontconfig
# gives for "Arial".
#   bench/cli_startup_vs_zint.sh [path/to/varlen-cli] [rounds] [runs]
set -euo pipefail
CLI=${1:-build/cli/varlen-cli}
ROUNDS=${2:-7}
RUNS=${3:-200}
source "$(dirname "$0")/common.sh"
bench_start 1
data=400638133393

# The children's processor time so far, in seconds (user + system), from the shell's `times` (run
# in this shell, not in a subshell, whose children are others).
children_cpu() {
    times >"$work/times"
    awk 'NR == 2 { for (i = 1; i <= 2; i++) { split($i, t, "m"); sub("s", "", t[2]); s += t[1] * 60 + t[2] } print s }' "$work/times"
}
# cpu_per_run NAME: runs the program RUNS times, prints the processor time per run in milliseconds.
cpu_per_run() {
    local dir=$work/$1-$r i
    mkdir "$dir"
    children_cpu >"$work/before"
    if [ "$1" = varlen ]; then
        for ((i = 0; i < RUNS; i++)); do "$CLI" --type ean13 -o "$dir/$i.png" $data; done
    else
        for ((i = 0; i < RUNS; i++)); do zint -b EANX --filetype=PNG -o "$dir/$i.png" -d $data; done
    fi
    children_cpu >"$work/after"
    echo "($(cat "$work/after") - $(cat "$work/before")) * 1000 / $RUNS" | bc -l
}

# varlen-cli keeps the fonts it used in a cache of its own for the next run (raster/FontCache.h):
# one of this benchmark's, made by the first label below, as every later run of a user finds it.
export XDG_CACHE_HOME=$work/cache
# The labels first, once, so that both programs' files and caches are warm and the outputs exist.
"$CLI" --type ean13 -o "$work/check.png" $data
zint -b EANX --filetype=PNG -o "$work/zint.png" -d $data
declare -a ours theirs
for ((r = 0; r < ROUNDS; r++)); do
    if ((r % 2 == 0)); then
        ours+=("$(cpu_per_run varlen)"); theirs+=("$(cpu_per_run zint)")
    else
        theirs+=("$(cpu_per_run zint)"); ours+=("$(cpu_per_run varlen)")
    fi
    rm -rf "$work"/varlen-* "$work"/zint-*
done
peak() {  # the largest maximum resident set of five runs, in KiB
    local m=0 k i
    for i in 1 2 3 4 5; do
        /usr/bin/time -o "$work/peak" -f %M "$@" >/dev/null 2>&1
        k=$(tail -1 "$work/peak")
        ((k > m)) && m=$k
    done
    echo $m
}
m_ours=$(median "${ours[@]}")
m_zint=$(median "${theirs[@]}")
printf 'one EAN-13 PNG per process: %s rounds of %s runs each, load average %s\n' "$ROUNDS" "$RUNS" "$(cut -d' ' -f1-3 /proc/loadavg)"
printf 'varlen-cli: median %.3f ms CPU per run (%s)\n' "$m_ours" "$(printf '%.3f ' "${ours[@]}")"
printf 'zint:       median %.3f ms CPU per run (%s)\n' "$m_zint" "$(printf '%.3f ' "${theirs[@]}")"
printf 'varlen-cli / zint: %.2f\n' "$(echo "$m_ours / $m_zint" | bc -l)"
printf 'peak memory: varlen-cli %s KiB, zint %s KiB\n' \
    "$(peak "$CLI" --type ean13 -o "$work/peak.png" $data)" "$(peak zint -b EANX --filetype=PNG -o "$work/peakz.png" -d $data)"
