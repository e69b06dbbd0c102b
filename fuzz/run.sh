#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for the given number
# of seconds (default 60), two at a time, then prints per target the
# executions, executions per second, corpus size and findings.
#   fuzz/run.sh [seconds] [target ...]
# New corpus entries go to build-fuzz/corpus/<target> (the committed seeds in
# fuzz/corpus are only read); findings to build-fuzz/findings/<target>.
set -euo pipefail
cd "$(dirname "$0")/.."
source ./deps.sh
tagloom_install_missing clang libclang-rt-dev
SECONDS_EACH=${1:-60}
shift || true
TARGETS=("$@")
[ ${#TARGETS[@]} -eq 0 ] && TARGETS=(settings tablefile decoder localpath targetscan bodyline filename markupscan)
PARALLEL=${FUZZ_PARALLEL:-2}
B=build-fuzz

CC=clang CXX=clang++ cmake -S . -B $B -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTAGLOOM_FUZZ=ON -DTAGLOOM_TESTS=OFF -DTAGLOOM_BENCH=OFF >/dev/null
cmake --build $B --parallel "$PARALLEL" --target "${TARGETS[@]/#/fuzz_}"

export ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export QT_QPA_PLATFORM=offscreen

run_one() {
  local t=$1
  mkdir -p $B/corpus/$t $B/findings/$t $B/logs
  # The editor and the font library keep caches between inputs, which makes
  # inputs look like leaks and runs a full leak check each time (twenty times
  # slower); the editor's leaks are checked at exit by the sanitizer test run.
  local leaks=1
  [ "$t" = targetscan ] && leaks=0
  "$B/fuzz/fuzz_$t" -detect_leaks=$leaks -max_total_time="$SECONDS_EACH" -timeout=10 -rss_limit_mb=2048 \
    -max_len=8192 -print_final_stats=1 -artifact_prefix="$B/findings/$t/" \
    "$B/corpus/$t" "fuzz/corpus/$t" >"$B/logs/$t.log" 2>&1 || true
}

running=0
for t in "${TARGETS[@]}"; do
  run_one "$t" &
  running=$((running + 1))
  if [ "$running" -ge "$PARALLEL" ]; then
    wait -n || true
    running=$((running - 1))
  fi
done
wait || true

printf '%-11s %12s %8s %8s %9s\n' target executions exec/s corpus findings
status=0
for t in "${TARGETS[@]}"; do
  log=$B/logs/$t.log
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  secs=$(sed -n 's/^stat::.*//; s/^Done \([0-9]*\) runs in \([0-9]*\) second.*/\2/p' "$log" | tail -1)
  rate=$(awk -v e="${execs:-0}" -v s="${secs:-$SECONDS_EACH}" 'BEGIN { printf "%d", (s > 0 ? e / s : e) }')
  corpus=$(find $B/corpus/$t fuzz/corpus/$t -type f | wc -l)
  found=$(find $B/findings/$t -type f | wc -l)
  [ "$found" -gt 0 ] && status=1
  printf '%-11s %12s %8s %8s %9s\n' "$t" "${execs:-?}" "$rate" "$corpus" "$found"
done
if [ "$status" -ne 0 ]; then
  echo "Findings (see $B/logs/<target>.log):"
  find $B/findings -type f
fi
exit $status
