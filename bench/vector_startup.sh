#!/bin/bash
# SPDX-License-Identifier: MIT
# What the vector layer costs a program's start, in CPU time (perf's task-clock), side by side in
# one run: a program that does nothing; the same linked with varlen_vector (the module's loader);
# the same linked with cairo, FreeType and fontconfig directly (what the module spares); one
# EAN-13 SVG from varlen_vector (written without the module), and one EPS through the module,
# against zint's. Each program runs RUNS times per round, the rounds
# alternate the order, and the median of the rounds' means is reported with its difference from
# the baseline.
#   bench/vector_startup.sh [build-dir] [rounds] [runs]
set -euo pipefail
BUILD=${1:-build}
ROUNDS=${2:-5}
RUNS=${3:-50}
command -v perf >/dev/null || { echo "perf is not installed (linux-perf)" >&2; exit 1; }
cmake --build "$BUILD" --target startup_nothing startup_vector startup_cairo varlen_vector_module >/dev/null
b=$BUILD/bench
declare -A cmd=(
    [nothing]="$b/startup_nothing"
    [vector]="$b/startup_vector"
    [cairo]="$b/startup_cairo"
    [vector-svg]="$b/startup_vector svg"
    [zint-svg]="zint -b EANX --direct --filetype=SVG -d 400638133393"
    [vector-eps]="$b/startup_vector eps"
    [zint-eps]="zint -b EANX --direct --filetype=EPS -d 400638133393"
)
order=(nothing vector cairo vector-svg zint-svg vector-eps zint-eps)
declare -A samples
# Mean task-clock of RUNS runs, in milliseconds.
clock_of() {
    perf stat -x, -e task-clock -r "$RUNS" $1 2>&1 >/dev/null | awk -F, '/task-clock/ { print $1 }'
}
for ((r = 0; r < ROUNDS; r++)); do
    if ((r % 2)); then names=($(printf '%s\n' "${order[@]}" | tac)); else names=("${order[@]}"); fi
    for name in "${names[@]}"; do
        command -v ${cmd[$name]%% *} >/dev/null || continue
        samples[$name]+="$(clock_of "${cmd[$name]}") "
    done
done
median() { tr ' ' '\n' | grep . | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
base=$(echo "${samples[nothing]}" | median)
printf '%-12s %10s %10s\n' program "CPU ms" "+ms"
for name in "${order[@]}"; do
    [ -n "${samples[$name]:-}" ] || continue
    m=$(echo "${samples[$name]}" | median)
    printf '%-12s %10.3f %10.3f\n' "$name" "$m" "$(echo "$m - $base" | bc -l)"
done
