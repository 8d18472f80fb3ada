#!/bin/bash
# SPDX-License-Identifier: MIT
# varlen-cli --batch on one thread against two (--jobs 1, --jobs 2), with zint --batch beside them,
# on the same 10,000 EAN-13 data lines written as PNG files with modules 2 pixels wide (as in
# cli_vs_zint.sh). Each round runs the three into fresh folders, in a rotating order; the median
# wall times and the ratio --jobs 1 / --jobs 2 are reported. Then the peak memory (the child's
# ru_maxrss) of a batch of 10,000 labels on one and two threads, and of 1 GiB of empty lines read
# from a pipe, which shows that memory does not grow with the input.
#   bench/batch_jobs.sh [path/to/varlen-cli] [rounds]
set -euo pipefail
CLI=${1:-build/cli/varlen-cli}
ROUNDS=${2:-5}
LINES=10000
# BENCH_DIR picks the file system the files go to (see common.sh).
source "$(dirname "$0")/common.sh"
bench_start $LINES

declare -A times
timed() {
    local name=$1 t0 t1
    shift
    t0=$(now)
    "$@" > /dev/null
    t1=$(now)
    times[$name]+="$(echo "$t1 - $t0" | bc -l) "
}
run() {
    case $1 in
    j1) timed j1 "$CLI" --batch "$work/ean.txt" -o "$work/j1-$2/%05n.png" --type ean13 --scale 2 --jobs 1 ;;
    j2) timed j2 "$CLI" --batch "$work/ean.txt" -o "$work/j2-$2/%05n.png" --type ean13 --scale 2 --jobs 2 ;;
    zint) mkdir "$work/z-$2"
          timed zint zint -b EANX --batch --filetype=PNG --scale=1 -o "$work/z-$2/~~~~~.png" --input="$work/ean.txt" ;;
    esac
}
# Fresh folders, nothing deleted until the end, and the file system written back and given a few
# seconds before each round: see cli_vs_zint.sh for what ext4 does otherwise.
order=(j1 j2 zint)
for ((r = 0; r < ROUNDS; r++)); do
    sync; sleep 6
    for ((i = 0; i < 3; i++)); do run "${order[(r + i) % 3]}" $r; done
done
for d in j1-0 j2-0 z-0; do
    [ "$(ls "$work/$d" | wc -l)" -eq $LINES ] || { echo "missing files in $d" >&2; exit 1; }
done
cmp -s "$work/j1-0/00001.png" "$work/j2-0/00001.png" && cmp -s "$work/j1-0/09999.png" "$work/j2-0/09999.png" ||
    { echo "--jobs 2 wrote other bytes" >&2; exit 1; }

# Peak resident memory in KiB of a command, standard input passed on.
peak() {
    /usr/bin/python3 -c 'import resource, subprocess, sys
subprocess.run(sys.argv[1:], stdout=subprocess.DEVNULL)
print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)' "$@"
}
mem_j1=$(peak "$CLI" --batch "$work/ean.txt" -o "$work/m1/%05n.png" --type ean13 --scale 2 --jobs 1)
mem_j2=$(peak "$CLI" --batch "$work/ean.txt" -o "$work/m2/%05n.png" --type ean13 --scale 2 --jobs 2)
mem_gib=$(head -c 1G /dev/zero | tr '\0' '\n' | peak "$CLI" --batch - -o "$work/m3/%n.png" --jobs 2)
mem_one=$(printf '4711\n' | peak "$CLI" --batch - -o "$work/m4/%n.png")

m1=$(median ${times[j1]})
m2=$(median ${times[j2]})
mz=$(median ${times[zint]})
printf 'files: %s lines, %s rounds, %s cores\n' $LINES "$ROUNDS" "$(nproc)"
printf 'varlen-cli --jobs 1: median %.3f s (%s)\n' "$m1" "${times[j1]}"
printf 'varlen-cli --jobs 2: median %.3f s (%s)\n' "$m2" "${times[j2]}"
printf 'zint --batch:        median %.3f s (%s)\n' "$mz" "${times[zint]}"
printf 'jobs 1 / jobs 2:     %.2f\n' "$(echo "$m1 / $m2" | bc -l)"
printf 'peak memory: one label %s KiB; 10,000 labels %s KiB (--jobs 1), %s KiB (--jobs 2); 1 GiB of empty lines %s KiB\n' \
    "$mem_one" "$mem_j1" "$mem_j2" "$mem_gib"
