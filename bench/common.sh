# SPDX-License-Identifier: MIT
# Shared by the shell benchmarks: the data, the clock and the median.

# ean_lines N FILE: N 12-digit EAN-13 data lines from a fixed linear congruential sequence, the same
# on every run.
ean_lines() {
    awk -v n="$1" 'BEGIN { x = 12345; for (i = 0; i < n; i++) { x = (x * 1103515245 + 12345) % 2147483648;
                   printf "%06d%06d\n", x % 1000000, int(x / 1000) % 1000000 } }' > "$2"
}

# bench_start N: a scratch folder $work on the file system BENCH_DIR names (default /tmp; a tmpfs such
# as /dev/shm leaves the disk's own costs out), removed at exit, holding N data lines in ean.txt.
bench_start() {
    work=$(mktemp -d -p "${BENCH_DIR:-/tmp}")
    trap 'rm -rf "$work"' EXIT
    ean_lines "$1" "$work/ean.txt"
}

now() { date +%s.%N; }

median() { printf '%s\n' "$@" | sort -g | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }
