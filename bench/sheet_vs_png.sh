#!/bin/bash
# SPDX-License-Identifier: MIT
# Sheets of labels against the batch of PNG files: 10,000 EAN-13 labels with two text lines
# (a product's name and its price, from a CSV file) laid out on A4 3 x 7 sheets (L7160, 477 pages)
# as one PDF, against the same 10,000 labels written as PNG files, and against the plain batch of
# cli_vs_zint.sh (10,000 PNG files of the symbol alone with 2-pixel modules), with zint's batch
# of those beside them. Each round runs the four in a rotating order into fresh folders; the
# medians of each one's processor time (user + system) are reported with the ratios, then the
# PDF's size per label and the peak memory (the largest resident set) of each.
#   bench/sheet_vs_png.sh [path/to/varlen-cli] [rounds]
set -euo pipefail
CLI=${1:-build/cli/varlen-cli}
ROUNDS=${2:-5}
LINES=10000
# BENCH_DIR picks the file system the files go to (see common.sh).
source "$(dirname "$0")/common.sh"
bench_start $LINES
# The CSV: the data lines of ean.txt with a name and a price each.
awk 'BEGIN { print "sku,name,price" } { printf "%s,\"Product %d, 1 l\",%d.%02d\n", $1, NR, NR % 100, NR % 97 }' \
    "$work/ean.txt" > "$work/products.csv"

declare -A cpu peak
# timed NAME COMMAND...: the command's CPU seconds and peak resident memory (KiB), added to NAME's.
timed() {
    local name=$1
    shift
    /usr/bin/time -o "$work/time" -f "%U %S %M" "$@" > /dev/null
    cpu[$name]+="$(awk '{ print $1 + $2 }' "$work/time") "
    peak[$name]+="$(awk '{ print $3 }' "$work/time") "
}
run() {
    case $1 in
    sheet) timed sheet "$CLI" --batch "$work/products.csv" --csv --text-line '{name}' --text-line '{price} EUR' \
               --sheet L7160 -o "$work/labels-$2.pdf" ;;
    labels) mkdir "$work/l$2"
            timed labels "$CLI" --batch "$work/products.csv" --csv --text-line '{name}' --text-line '{price} EUR' \
               -o "$work/l$2/%05n.png" ;;
    plain) mkdir "$work/p$2"
           timed plain "$CLI" --batch "$work/ean.txt" -o "$work/p$2/%05n.png" --type ean13 --scale 2 ;;
    zint) mkdir "$work/z$2"
          timed zint zint -b EANX --batch --filetype=PNG --scale=1 -o "$work/z$2/~~~~~.png" --input="$work/ean.txt" ;;
    esac
}
order=(sheet labels plain zint)
for ((r = 0; r < ROUNDS; r++)); do
    sync; sleep 3
    for ((i = 0; i < ${#order[@]}; i++)); do run "${order[(i + r) % ${#order[@]}]}" $r; done
done
pages=$(pdfinfo "$work/labels-0.pdf" | awk '/^Pages:/ { print $2 }')
bytes=$(stat -c %s "$work/labels-0.pdf")
[ "$pages" -eq 477 ] && [ "$(ls "$work/l0" | wc -l)" -eq $LINES ] || { echo "missing pages or files" >&2; exit 1; }
printf 'labels: %s, %s rounds, load average %s\n' $LINES "$ROUNDS" "$(cut -d' ' -f1-3 /proc/loadavg)"
for name in sheet labels plain zint; do
    # shellcheck disable=SC2086
    printf '%-7s CPU median %.3f s (%s), peak memory median %s KiB\n' $name "$(median ${cpu[$name]})" \
        "${cpu[$name]% }" "$(median ${peak[$name]})"
done
# shellcheck disable=SC2086
c_sheet=$(median ${cpu[sheet]}); c_labels=$(median ${cpu[labels]}); c_plain=$(median ${cpu[plain]}); c_zint=$(median ${cpu[zint]})
printf 'sheet / labels as PNG: CPU %.2f; sheet / plain PNG batch: CPU %.2f; sheet / zint PNG batch: CPU %.2f\n' \
    "$(echo "$c_sheet / $c_labels" | bc -l)" "$(echo "$c_sheet / $c_plain" | bc -l)" "$(echo "$c_sheet / $c_zint" | bc -l)"
printf 'PDF: %s pages, %s bytes, %.0f bytes a label\n' "$pages" "$bytes" "$(echo "$bytes / $LINES" | bc -l)"
