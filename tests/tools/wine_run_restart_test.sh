#!/usr/bin/env bash
# tools/wine-run starts a program once more only when it failed having
# printed nothing, and keeps the exit code and output of every other run.
#   wine_run_restart_test.sh SOURCE_DIR PREFIX
set -u
source_dir="$1" prefix="$2"
log="$(dirname "$(realpath -m "$prefix")")/wine-run-restarts.log"
failures=0
scratch="$(mktemp)"
trap 'rm -f "$scratch"' EXIT
check() {
  if [ "$2" = "$3" ]; then echo "ok   $1"; else echo "FAIL $1: got [$2], expected [$3]"; failures=$((failures + 1)); fi
}
starts_logged() {
  if [ -f "$log" ]; then grep -c -F -e "$1" "$log" || true; else echo 0; fi
}

# Each case: its name, the command for cmd.exe, the exit code, the output,
# and how many restarts the log must show. The name goes into the log with
# this run's process id: trees that share the prefix run this test at the
# same time, into the same log.
while IFS='|' read -r name command code output restarts; do
  marker="[$name-$$]"
  before="$(starts_logged "$marker")"
  "$source_dir/tools/wine-run" "$prefix" cmd.exe /c "$command & rem $marker" </dev/null >"$scratch" 2>/dev/null
  check "$marker: exit code" "$?" "$code"
  check "$marker: output" "$(tr -d '\r' <"$scratch")" "$output"
  check "$marker: restarts" "$(( $(starts_logged "$marker") - before ))" "$restarts"
done <<'CASES'
silent-failure|exit 3|3||1
failure-with-output|echo said& exit 3|3|said|0
silent-success|exit 0|0||0
CASES
[ "$failures" -eq 0 ] && echo "PASS" || { echo "$failures failed"; exit 1; }
