#!/bin/bash
# SPDX-License-Identifier: MIT
# One EAN-13 per process, the way scripts, Makefiles and web back ends call a generator:
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
# The cases, each a command that gets the file to write as its last word. The service cases are a
# program run by a user without a writable cache folder (HOME=/nonexistent for a system user; here
# a cache folder no one may write, which works for root too): its fonts are then kept in a private
# folder of the temporary folder; "nowhere" also takes that away, which is what every such run
# cost before.
unwritable=/proc/sys/varlen-cache  # not even root may write there
declare -A case_cmd=(
    [varlen-png]="$CLI --type ean13 --scale 2 -o"
    [zint-png]="zint -b EANX --filetype=PNG -d $data -o"
    [varlen-png-service]="$CLI --type ean13 --scale 2 -o"
    [varlen-png-nowhere]="$CLI --type ean13 --scale 2 -o"
    [varlen-svg]="$CLI --type ean13 -o"
    [zint-svg]="zint -b EANX --filetype=SVG -d $data -o"
)
declare -A case_env=([varlen-png-service]="XDG_CACHE_HOME=$unwritable"
                     [varlen-png-nowhere]="XDG_CACHE_HOME=$unwritable TMPDIR=$unwritable")
declare -A case_ext=([varlen-png]=png [zint-png]=png [varlen-png-service]=png [varlen-png-nowhere]=png
                     [varlen-svg]=svg [zint-svg]=svg)
cases=(varlen-png zint-png varlen-png-service varlen-png-nowhere varlen-svg zint-svg)
# cpu_per_run CASE: runs it RUNS times, prints the processor time per run in milliseconds.
cpu_per_run() {
    local dir=$work/$1-$r cmd=${case_cmd[$1]} ext=${case_ext[$1]} extra=
    mkdir "$dir"
    [ "${1#zint}" != "$1" ] || extra=$data
    children_cpu >"$work/before"
    # In a subshell for the case's environment; its children's time is the shell's children's too.
    # shellcheck disable=SC2086  # the commands and assignments are words
    (
        [ -z "${case_env[$1]:-}" ] || export ${case_env[$1]}
        for ((i = 0; i < RUNS; i++)); do $cmd "$dir/$i.$ext" $extra; done
    )
    children_cpu >"$work/after"
    echo "($(cat "$work/after") - $(cat "$work/before")) * 1000 / $RUNS" | bc -l
}

# varlen-cli keeps the fonts it used in a cache of its own for the next run (raster/FontCache.h):
# one of this benchmark's, made by the first label below, as every later run of a user finds it.
export XDG_CACHE_HOME=$work/cache
export TMPDIR=$work
# Every case first, once, so that the programs' files and caches are warm and the outputs exist.
for c in "${cases[@]}"; do r=warm cpu_per_run "$c" >/dev/null; done
declare -A samples
for ((r = 0; r < ROUNDS; r++)); do
    # Each round another order of the cases.
    for ((k = 0; k < ${#cases[@]}; k++)); do
        c=${cases[(k + r) % ${#cases[@]}]}
        samples[$c]+="$(cpu_per_run "$c") "
    done
    rm -rf "$work"/*-"$r"
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
printf 'one EAN-13 per process: %s rounds of %s runs each, load average %s\n' "$ROUNDS" "$RUNS" "$(cut -d' ' -f1-3 /proc/loadavg)"
declare -A med
for c in "${cases[@]}"; do
    # shellcheck disable=SC2086  # the samples are words
    med[$c]=$(median ${samples[$c]})
    printf '%-20s median %.3f ms CPU per run (%s)\n' "$c" "${med[$c]}" "$(printf '%.3f ' ${samples[$c]})"
done
ratio() { printf '%-44s %.2f\n' "$1" "$(echo "${med[$2]} / ${med[$3]}" | bc -l)"; }
ratio "PNG, varlen-cli / zint:" varlen-png zint-png
ratio "SVG, varlen-cli / zint:" varlen-svg zint-svg
printf '%-44s %.2f\n' "PNG without a writable cache / with one:" \
    "$(echo "${med[varlen-png-service]} / ${med[varlen-png]}" | bc -l)"
printf '%-44s %.2f\n' "PNG without any cache (before) / with one:" \
    "$(echo "${med[varlen-png-nowhere]} / ${med[varlen-png]}" | bc -l)"
printf 'peak memory: varlen-cli %s KiB, zint %s KiB\n' \
    "$(peak "$CLI" --type ean13 --scale 2 -o "$work/peak.png" $data)" "$(peak zint -b EANX --filetype=PNG -o "$work/peakz.png" -d $data)"
