# SPDX-License-Identifier: MIT
# Shared by the shell benchmarks: the data, the clock and the median.

# ean_lines N FILE: N 12-digit EAN-13 data lines from a fixed linear congruential sequence, the same
# on every run.
ean_lines() {
    awk -v n="$1" 'BEGIN { x = 12345; for (i = 0; i < n; i++) { x = (x * 1103515245 + 12345) % 2147483648;
                   printf "%06d%06d\n", x % 1000000, int(x / 1000) % 1000000 } }' > "$2"
}

# gs1_lines N FILE FORM: N GS1 data lines from the same kind of sequence, a GTIN-14 with its check
# digit, an expiry date and a batch, and a serial for the Data Matrix forms. FORM: "dl" the human form
# of a Digital Link (01)(17)(10); "uri" its GS1 Digital Link URI (about 60 characters); "gs1" the
# human form (01)(17)(10)(21); "zint" the same in zint's brackets.
gs1_lines() {
    awk -v n="$1" -v form="$3" '
        function check(d,   i, s, w) { s = 0; w = 3; for (i = length(d); i >= 1; i--) { s += substr(d, i, 1) * w; w = 4 - w } return (10 - s % 10) % 10 }
        BEGIN { x = 12345; for (i = 0; i < n; i++) { x = (x * 1103515245 + 12345) % 2147483648;
            g = sprintf("0950600%06d", x % 1000000); g = g check(g); lot = sprintf("AB%05d", i);
            serial = sprintf("X%06d", int(x / 1000) % 1000000);
            if (form == "dl") printf "(01)%s(17)271231(10)%s\n", g, lot;
            else if (form == "uri") printf "https://id.gs1.org/01/%s/10/%s?17=271231\n", g, lot;
            else if (form == "gs1") printf "(01)%s(17)271231(10)%s(21)%s\n", g, lot, serial;
            else printf "[01]%s[17]271231[10]%s[21]%s\n", g, lot, serial } }' > "$2"
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
