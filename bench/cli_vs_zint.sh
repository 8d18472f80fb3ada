#!/bin/bash
# varlen-cli --batch against zint --batch on the same 10,000 EAN-13 data lines, both writing PNG
# files with modules 2 pixels wide (varlen-cli: SC2 at 96 dots per inch is 1 pixel, --scale 2;
# zint: its default scale 1 is 2 pixels a module). Each program runs ROUNDS times, alternating,
# into a fresh folder; the median wall time of each is reported with the ratio.
#   bench/cli_vs_zint.sh [path/to/varlen-cli] [rounds]
set -euo pipefail
CLI=${1:-build/cli/varlen-cli}
ROUNDS=${2:-5}
LINES=10000
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# 12-digit data from a fixed linear congruential sequence: the same lines on every run.
awk -v n=$LINES 'BEGIN { x = 12345; for (i = 0; i < n; i++) { x = (x * 1103515245 + 12345) % 2147483648;
                   printf "%06d%06d\n", x % 1000000, int(x / 1000) % 1000000 } }' > "$work/ean.txt"

now() { date +%s.%N; }
declare -a ours theirs
for ((r = 0; r < ROUNDS; r++)); do
    rm -rf "$work/v" "$work/z"; mkdir "$work/v" "$work/z"
    t0=$(now)
    "$CLI" --batch "$work/ean.txt" -o "$work/v/%05n.png" --type ean13 --scale 2
    t1=$(now)
    zint -b EANX --batch --filetype=PNG --scale=1 -o "$work/z/~~~~~.png" --input="$work/ean.txt" > /dev/null
    t2=$(now)
    ours+=("$(echo "$t1 - $t0" | bc -l)")
    theirs+=("$(echo "$t2 - $t1" | bc -l)")
done
[ "$(ls "$work/v" | wc -l)" -eq $LINES ] && [ "$(ls "$work/z" | wc -l)" -eq $LINES ] || { echo "missing files" >&2; exit 1; }
median() { printf '%s\n' "$@" | sort -g | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }
m_ours=$(median "${ours[@]}")
m_zint=$(median "${theirs[@]}")
printf 'files: %s lines, %s rounds\n' $LINES "$ROUNDS"
printf 'varlen-cli --batch: median %.3f s (%s)\n' "$m_ours" "${ours[*]}"
printf 'zint --batch:       median %.3f s (%s)\n' "$m_zint" "${theirs[*]}"
printf 'zint / varlen-cli:  %.2f\n' "$(echo "$m_zint / $m_ours" | bc -l)"
