#!/bin/sh
# Runs every fuzz target for SECONDS (default 60) on its seed corpus; the new
# inputs it finds are kept in the corpus, crashing inputs in out/crashes.
#   fuzz/run_fuzzers.sh [SECONDS] [PARALLEL]
set -eu
cd "$(dirname "$0")"
SECONDS_EACH="${1:-60}"
PARALLEL="${2:-1}"
# KEEP_GOING=1: a long run collects every crash instead of stopping at the first.
EXTRA=""
[ "${KEEP_GOING:-0}" = 1 ] && EXTRA="-fork=1 -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1"
# SEED=N: the same mutations every run, so that a short run in CI is repeatable.
[ -n "${SEED:-}" ] && EXTRA="$EXTRA -seed=$SEED"
TARGETS="container spectrum_block zelc_xml zelc_arrays zelc_convert xic_planner"
mkdir -p out/logs out/crashes
run() {
  t="$1"
  mkdir -p "out/corpus/$t" "out/crashes/$t"
  ./out/build/fuzz_"$t" "out/corpus/$t" -max_total_time="$SECONDS_EACH" -max_len=65536 \
    -timeout=10 -rss_limit_mb=2048 -artifact_prefix="out/crashes/$t/" -print_final_stats=1 $EXTRA \
    > "out/logs/$t.log" 2>&1
}
# Two at a time when PARALLEL > 1; any target that finds a crash fails the run.
status=0
report() { echo "fuzz_$1 found a crash: see fuzz/out/logs/$1.log and fuzz/out/crashes/$1/"; status=1; }
if [ "$PARALLEL" -gt 1 ]; then
  for pair in "container spectrum_block" "zelc_xml zelc_arrays" "zelc_convert xic_planner"; do
    set -- $pair
    run "$1" & first=$!
    [ $# -lt 2 ] || { run "$2" & second=$!; }
    wait "$first" || report "$1"
    [ $# -lt 2 ] || wait "$second" || report "$2"
  done
else
  for t in $TARGETS; do run "$t" || report "$t"; done
fi
for t in $TARGETS; do
  echo "$t: $(grep -h 'stat::number_of_executed_units' "out/logs/$t.log" | tail -n 1 | awk '{print $2}') runs"
done
exit "$status"
