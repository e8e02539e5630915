#!/usr/bin/env bash
# Runs one fuzz target for PURRBOX_FUZZ_SECONDS seconds (default 5) on its
# seeds and the corpus it grew before, prints its executions, and fails on a
# finding, which stays in WORK/findings/ for replay: TARGET FINDING.
#   run_fuzz_target.sh TARGET SEEDS WORK [libFuzzer option...]
set -euo pipefail
target="$1" seeds="$2" work="$3"
shift 3
seconds="${PURRBOX_FUZZ_SECONDS:-5}"
name="$(basename "$target")"
mkdir -p "$work/corpus" "$work/findings"
log="$work/last-run.log"

status=0
"$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096 -print_final_stats=1 \
  -artifact_prefix="$work/findings/" "$@" "$work/corpus" "$seeds" >"$log" 2>&1 || status=$?

executions="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")"
summary="fuzz $name: ${executions:-no} executions in $seconds s, corpus $(find "$work/corpus" -type f | wc -l) inputs, exit $status"
echo "$summary"
echo "$(date -u +%FT%TZ) $summary" >>"$work/figures.txt"
if [ "$status" -ne 0 ]; then
  tail -n 40 "$log"
  echo "finding: replay with $target $work/findings/<file>; whole log $log"
  exit 1
fi
