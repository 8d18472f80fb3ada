#!/bin/bash
# SPDX-License-Identifier: MIT
# varlen-cli --batch against zint --batch on the same 10,000 data lines, both writing PNG files with
# modules 2 pixels wide (varlen-cli: SC2 at 96 dots per inch is 1 pixel, --scale 2; zint: its
# default scale 1 is 2 pixels a module), one job. KIND: ean13 (the default); dl-qr, GS1 Digital Link
# QR Codes of about 60 characters (zint: the same URIs, error correction level M as ours); or
# gs1-datamatrix, (01)(17)(10)(21) (zint --gs1). Both draw the two-dimensional symbols without text
# (zint draws none under them). Each program runs ROUNDS times, alternating which goes first, each
# into a fresh folder; the medians of each one's processor time (user + system) and wall time are
# reported with the ratios. A third column is varlen-cli with --verify, every label read back before
# it is written, against varlen-cli without. Run it on a memory file system (BENCH_DIR=/dev/shm) to
# leave the disk out. KIND mono: the EAN-13 labels as varlen-cli draws them for a label printer
# (--mono: text without anti-aliasing, 1-bit PNG), the form zint writes, in both of its columns. The
# total size of each program's files is reported too.
#   bench/cli_vs_zint.sh [path/to/varlen-cli] [rounds] [ean13|mono|dl-qr|gs1-datamatrix]
set -euo pipefail
CLI=${1:-build/cli/varlen-cli}
ROUNDS=${2:-5}
KIND=${3:-ean13}
LINES=10000
# BENCH_DIR picks the file system the files go to (see common.sh).
source "$(dirname "$0")/common.sh"
bench_start $LINES
case $KIND in
    ean13) ours_in=$work/ean.txt ours_args=(--type ean13) zint_in=$work/ean.txt zint_args=(-b EANX) ;;
    mono) ours_in=$work/ean.txt ours_args=(--type ean13 --mono) zint_in=$work/ean.txt zint_args=(-b EANX) ;;
    dl-qr)
        gs1_lines $LINES "$work/ours.txt" dl; gs1_lines $LINES "$work/zint.txt" uri
        ours_in=$work/ours.txt ours_args=(--type dl-qr --no-text) zint_in=$work/zint.txt zint_args=(-b QRCODE --secure=2) ;;
    gs1-datamatrix)
        gs1_lines $LINES "$work/ours.txt" gs1; gs1_lines $LINES "$work/zint.txt" zint
        ours_in=$work/ours.txt ours_args=(--type gs1-datamatrix --no-text) zint_in=$work/zint.txt
        zint_args=(-b DATAMATRIX --gs1) ;;
    *) echo "unknown kind $KIND" >&2; exit 2 ;;
esac
# cpu_of FILE: user + system seconds that /usr/bin/time wrote to FILE ("%U %S").
cpu_of() { awk '{ print $1 + $2 }' "$1"; }
run_ours() {
    local t0 t1
    t0=$(now)
    /usr/bin/time -o "$work/time" -f "%U %S" "$CLI" --batch "$ours_in" -o "$work/v$1/%05n.png" "${ours_args[@]}" --scale 2 --jobs 1
    t1=$(now)
    ours+=("$(echo "$t1 - $t0" | bc -l)")
    ours_cpu+=("$(cpu_of "$work/time")")
}
run_verify() {
    local t0 t1
    t0=$(now)
    /usr/bin/time -o "$work/time" -f "%U %S" "$CLI" --batch "$ours_in" -o "$work/r$1/%05n.png" "${ours_args[@]}" --scale 2 --jobs 1 \
        --verify
    t1=$(now)
    verified+=("$(echo "$t1 - $t0" | bc -l)")
    verified_cpu+=("$(cpu_of "$work/time")")
}
run_zint() {
    local t0 t1
    t0=$(now)
    /usr/bin/time -o "$work/time" -f "%U %S" zint "${zint_args[@]}" --batch --filetype=PNG --scale=1 -o "$work/z$1/~~~~~.png" \
        --input="$zint_in" > /dev/null
    t1=$(now)
    theirs+=("$(echo "$t1 - $t0" | bc -l)")
    theirs_cpu+=("$(cpu_of "$work/time")")
}
# Every round writes into folders of its own, and nothing is deleted before the end. On a file
# system without a journal (this machine's) ext4 steps over every inode deleted in the last few
# seconds, one by one, when it allocates a new one (and over those deleted in the last five
# minutes while their inode table is not yet written back), so a program that runs right after
# thousands of files were deleted pays seconds for it in the kernel. Before each round the
# file system is written back and given those few seconds; who goes first alternates.
declare -a ours theirs ours_cpu theirs_cpu verified verified_cpu
for ((r = 0; r < ROUNDS; r++)); do
    mkdir "$work/v$r" "$work/z$r" "$work/r$r"
    sync; sleep 6
    if ((r % 2 == 0)); then run_ours $r; run_zint $r; else run_zint $r; run_ours $r; fi
    sync; sleep 6
    run_verify $r
done
for folder in v0 z0 r0; do
    [ "$(ls "$work/$folder" | wc -l)" -eq $LINES ] || { echo "missing files" >&2; exit 1; }
done
m_ours=$(median "${ours[@]}")
m_zint=$(median "${theirs[@]}")
m_verified=$(median "${verified[@]}")
c_ours=$(median "${ours_cpu[@]}")
c_zint=$(median "${theirs_cpu[@]}")
c_verified=$(median "${verified_cpu[@]}")
printf '%s files: %s lines, %s rounds, load average %s\n' "$KIND" $LINES "$ROUNDS" "$(cut -d' ' -f1-3 /proc/loadavg)"
printf 'varlen-cli --batch: CPU median %.3f s (%s), wall median %.3f s\n' "$c_ours" "${ours_cpu[*]}" "$m_ours"
printf 'zint --batch:       CPU median %.3f s (%s), wall median %.3f s\n' "$c_zint" "${theirs_cpu[*]}" "$m_zint"
printf 'varlen-cli / zint:  CPU %.2f, wall %.2f\n' "$(echo "$c_ours / $c_zint" | bc -l)" "$(echo "$m_ours / $m_zint" | bc -l)"
printf 'varlen-cli --verify: CPU median %.3f s (%s), wall median %.3f s\n' "$c_verified" "${verified_cpu[*]}" "$m_verified"
printf 'with --verify / without: CPU %.2f, wall %.2f\n' "$(echo "$c_verified / $c_ours" | bc -l)" \
    "$(echo "$m_verified / $m_ours" | bc -l)"
# The bytes of the files of one round (du -b counts the folder's own entry too: the files only).
bytes_in() { find "$1" -type f -printf '%s\n' | awk '{ s += $1 } END { print s }'; }
b_ours=$(bytes_in "$work/v0")
b_zint=$(bytes_in "$work/z0")
printf 'files:              varlen-cli %s bytes, zint %s bytes, varlen-cli / zint %.2f\n' "$b_ours" "$b_zint" \
    "$(echo "$b_ours / $b_zint" | bc -l)"
