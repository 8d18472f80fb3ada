#!/bin/bash
# SPDX-License-Identifier: MIT
# One label per process, the way scripts, Makefiles and web back ends call a generator: varlen-cli
# against zint, side by side in one run. Each round runs every case RUNS times, every run writing a
# label of its own into a fresh folder (BENCH_DIR, default /tmp), and takes the processor time
# (user + system) its runs used, read from the shell's accounting of its children. A round runs the
# cases in slices of SLICE runs each, turn about, the order reversed every slice, so that a change
# of the machine's load within a round falls on all of them alike. Reported: the median over the
# rounds of the processor time per run of each case, the median over the rounds of each round's
# ratio (the figures the targets name), and the peak memory (maximum resident set).
# The cases:
#   png          varlen-cli, one EAN-13 PNG at zint's picture size (--scale 2), its fonts kept
#   png-homeless the same run as a service's user: HOME=/nonexistent, XDG_CACHE_HOME empty
#   svg          varlen-cli, one EAN-13 SVG
#   zint-png     zint's PNG, zint-svg zint's SVG
# Both write text under the bars: zint with its own built-in font, varlen-cli in the face fontconfig
# gives for "Arial".
# KIND qr: one QR Code of a Digital Link URI instead, with 2-pixel modules as zint's and without
# text (case qr, varlen-cli --type qr --scale 2; zint-qr, zint -b QRCODE at level M).
#   bench/cli_startup_vs_zint.sh [path/to/varlen-cli] [rounds] [runs] [ean13|qr]
set -euo pipefail
CLI=${1:-build/cli/varlen-cli}
ROUNDS=${2:-7}
RUNS=${3:-200}
KIND=${4:-ean13}
source "$(dirname "$0")/common.sh"
bench_start 1
data=400638133393
uri=https://id.gs1.org/01/09506000134352/10/AB12345?17=271231

# The children's processor time so far, in seconds (user + system), from the shell's `times` (run
# in this shell, not in a subshell, whose children are others).
children_cpu() {
    times >"$work/times"
    awk 'NR == 2 { for (i = 1; i <= 2; i++) { split($i, t, "m"); sub("s", "", t[2]); s += t[1] * 60 + t[2] } print s }' "$work/times"
}
# label CASE FILE: one run of the case.
label() {
    case $1 in
        png) "$CLI" --type ean13 --scale 2 -o "$2.png" $data ;;
        png-homeless) XDG_CACHE_HOME= HOME=/nonexistent TMPDIR="$work/tmp" "$CLI" --type ean13 --scale 2 -o "$2.png" $data ;;
        svg) "$CLI" --type ean13 -o "$2.svg" $data ;;
        zint-png) zint -b EANX --filetype=PNG -o "$2.png" -d $data ;;
        zint-svg) zint -b EANX --filetype=SVG -o "$2.svg" -d $data ;;
        qr) "$CLI" --type qr --scale 2 -o "$2.png" "$uri" ;;
        zint-qr) zint -b QRCODE --secure=2 --filetype=PNG -o "$2.png" -d "$uri" ;;
    esac
}
SLICE=${SLICE:-20}
# slice CASE FIRST: runs the case SLICE times (numbering its files from FIRST) and adds the
# processor time they took, in seconds, to spent[CASE].
declare -A spent
slice() {
    local dir=$work/$1-$r i
    mkdir -p "$dir"
    children_cpu >"$work/before"
    for ((i = $2; i < $2 + SLICE; i++)); do label "$1" "$dir/$i"; done
    children_cpu >"$work/after"
    spent[$1]=$(echo "${spent[$1]:-0} + $(cat "$work/after") - $(cat "$work/before")" | bc -l)
}

# varlen-cli keeps the fonts it used in a cache of its own for the next run (raster/FontCache.h):
# one of this benchmark's, made by the first label below, as every later run of a user finds it.
export XDG_CACHE_HOME=$work/cache
mkdir "$work/tmp"
cases=(png png-homeless svg zint-png zint-svg)
[ "$KIND" = qr ] && cases=(qr zint-qr)
# Every case once first, so that files and caches are warm and the outputs exist.
for c in "${cases[@]}"; do label "$c" "$work/check-$c"; done
declare -A samples ratios
# ratio_of A B: A's time over B's in this round.
ratio_of() { echo "${spent[$1]} / ${spent[$2]}" | bc -l; }
for ((r = 0; r < ROUNDS; r++)); do
    spent=()
    for ((first = 0; first < RUNS; first += SLICE)); do
        if (((first / SLICE + r) % 2)); then order=($(printf '%s\n' "${cases[@]}" | tac)); else order=("${cases[@]}"); fi
        for c in "${order[@]}"; do slice "$c" $first; done
    done
    for c in "${cases[@]}"; do samples[$c]+="$(echo "${spent[$c]} * 1000 / $RUNS" | bc -l) "; done
    if [ "$KIND" = qr ]; then
        ratios[qr]+="$(ratio_of qr zint-qr) "
    else
        ratios[png]+="$(ratio_of png zint-png) " ratios[homeless]+="$(ratio_of png-homeless png) "
        ratios[svg]+="$(ratio_of svg zint-svg) "
    fi
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
declare -A m
printf 'one %s per process: %s rounds of %s runs each, load average %s\n' "$KIND" "$ROUNDS" "$RUNS" "$(cut -d' ' -f1-3 /proc/loadavg)"
for c in "${cases[@]}"; do
    m[$c]=$(median ${samples[$c]})
    printf '%-13s median %.3f ms CPU per run (%s)\n' "$c" "${m[$c]}" "$(printf '%.3f ' ${samples[$c]})"
done
ratio() { printf '%-34s %.2f (rounds: %s)\n' "$1" "$(median ${ratios[$2]})" "$(printf '%.2f ' ${ratios[$2]})"; }
if [ "$KIND" = qr ]; then
    ratio "QR PNG: varlen-cli / zint" qr
    printf 'peak memory of the QR PNG: varlen-cli %s KiB, zint %s KiB\n' \
        "$(peak "$CLI" --type qr --scale 2 -o "$work/peak.png" "$uri")" \
        "$(peak zint -b QRCODE --secure=2 --filetype=PNG -o "$work/peakz.png" -d "$uri")"
    exit 0
fi
ratio "PNG: varlen-cli / zint" png
ratio "PNG without a cache folder / PNG" homeless
ratio "SVG: varlen-cli / zint" svg
printf 'peak memory of the PNG: varlen-cli %s KiB, zint %s KiB\n' \
    "$(peak "$CLI" --type ean13 --scale 2 -o "$work/peak.png" $data)" "$(peak zint -b EANX --filetype=PNG -o "$work/peakz.png" -d $data)"
