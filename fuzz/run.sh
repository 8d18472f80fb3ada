#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs every built fuzz target for a number of seconds, two at a time, each from its committed
# seed corpus (fuzz/corpus/<target>/) plus the inputs it found earlier (<build>/corpus/<target>/,
# never the committed folder). Prints one line per target with its executions; fails when any
# target reports a finding (the crashing input lands in <build>/artifacts/).
#   fuzz/run.sh <fuzz build folder> <seconds per target> [jobs]
set -uo pipefail
build=${1:?fuzz build folder}
seconds=${2:?seconds per target}
jobs=${3:-2}
src=$(cd "$(dirname "$0")" && pwd)

targets=()
for exe in "$build"/fuzz/fuzz_*; do
  [ -x "$exe" ] && targets+=("$exe")
done
if [ ${#targets[@]} -eq 0 ]; then
  # Only before the layers exist: say so rather than pretend to have fuzzed.
  echo "fuzz: no fuzz target built in $build/fuzz (no fuzzable layer present yet)"
  exit 0
fi

mkdir -p "$build/artifacts" "$build/logs"
run_one() {
  local exe=$1 name
  name=$(basename "$exe"); name=${name#fuzz_}
  mkdir -p "$build/corpus/$name"
  # -rss_limit_mb: every input is small; libFuzzer's own corpus and ASan's quarantine take the rest.
  "$exe" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
         -artifact_prefix="$build/artifacts/$name-" \
         "$build/corpus/$name" "$src/corpus/$name" >"$build/logs/$name.log" 2>&1
}

status=0
pids=()
names=()
i=0
for exe in "${targets[@]}"; do
  run_one "$exe" &
  pids+=($!); names+=("$(basename "$exe")")
  i=$((i + 1))
  if [ $((i % jobs)) -eq 0 ] || [ $i -eq ${#targets[@]} ]; then
    for k in "${!pids[@]}"; do
      name=${names[$k]#fuzz_}
      if wait "${pids[$k]}"; then result=ok; else result=FINDING; status=1; fi
      execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$build/logs/$name.log" | tail -1)
      printf 'fuzz %-8s %4ss  %12s executions  %s\n' "$name" "$seconds" "${execs:-?}" "$result"
      if [ "$result" != ok ]; then
        grep -m1 -E 'FINDING|ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error' \
          "$build/logs/$name.log" || true
        echo "  log: $build/logs/$name.log"
      fi
    done
    pids=(); names=()
  fi
done
exit $status
