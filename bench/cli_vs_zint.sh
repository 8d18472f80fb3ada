#!/bin/bash
# varlen-cli --batch against zint --batch on the same 10,000 EAN-13 data lines, both writing PNG
# files with modules 2 pixels wide (varlen-cli: SC2 at 96 dots per inch is 1 pixel, --scale 2;
# zint: its default scale 1 is 2 pixels a module). Each program runs ROUNDS times, alternating
# which goes first, each into a fresh folder; the median wall time of each is reported with the
# ratio.
#   bench/cli_vs_zint.sh [path/to/varlen-cli] [rounds]
set -euo pipefail
CLI=${1:-build/cli/varlen-cli}
ROUNDS=${2:-5}
LINES=10000
# BENCH_DIR picks the file system the files go to (see common.sh).
source "$(dirname "$0")/common.sh"
bench_start $LINES
run_ours() {
    local t0 t1
    t0=$(now)
    "$CLI" --batch "$work/ean.txt" -o "$work/v$1/%05n.png" --type ean13 --scale 2
    t1=$(now)
    ours+=("$(echo "$t1 - $t0" | bc -l)")
}
run_zint() {
    local t0 t1
    t0=$(now)
    zint -b EANX --batch --filetype=PNG --scale=1 -o "$work/z$1/~~~~~.png" --input="$work/ean.txt" > /dev/null
    t1=$(now)
    theirs+=("$(echo "$t1 - $t0" | bc -l)")
}
# Every round writes into folders of its own, and nothing is deleted before the end. On a file
# system without a journal (this machine's) ext4 steps over every inode deleted in the last few
# seconds, one by one, when it allocates a new one (and over those deleted in the last five
# minutes while their inode table is not yet written back), so a program that runs right after
# thousands of files were deleted pays seconds for it in the kernel. Before each round the
# file system is written back and given those few seconds; who goes first alternates.
declare -a ours theirs
for ((r = 0; r < ROUNDS; r++)); do
    mkdir "$work/v$r" "$work/z$r"
    sync; sleep 6
    if ((r % 2 == 0)); then run_ours $r; run_zint $r; else run_zint $r; run_ours $r; fi
done
[ "$(ls "$work/v0" | wc -l)" -eq $LINES ] && [ "$(ls "$work/z0" | wc -l)" -eq $LINES ] || { echo "missing files" >&2; exit 1; }
m_ours=$(median "${ours[@]}")
m_zint=$(median "${theirs[@]}")
printf 'files: %s lines, %s rounds\n' $LINES "$ROUNDS"
printf 'varlen-cli --batch: median %.3f s (%s)\n' "$m_ours" "${ours[*]}"
printf 'zint --batch:       median %.3f s (%s)\n' "$m_zint" "${theirs[*]}"
printf 'zint / varlen-cli:  %.2f\n' "$(echo "$m_zint / $m_ours" | bc -l)"
