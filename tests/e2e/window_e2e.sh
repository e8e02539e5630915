#!/usr/bin/env bash
# Purrbox.exe end to end under Wine, as a user meets it: started from another
# directory, its window appears and is photographed; Tab and Shift+Tab walk
# the focus, Escape leaves the window open; its current directory is its own
# folder; Alt+F4 ends it with exit code 0, and so does WM_CLOSE in a second run.
#   window_e2e.sh PURRBOX.exe WINDOW_PROBE.exe OUTPUT_DIR
# Uses $DISPLAY and $WINEPREFIX when set (tools/test sets both), else starts
# a virtual display and prepares the prefix beside Purrbox.exe.
set -euo pipefail
purrbox="$(realpath "$1")"
probe="$(realpath "$2")"
output="$(realpath -m "$3")"
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
wine=/usr/lib/wine/wine64
title_pattern='Purrbox - brenoka$'

source "$root/tools/virtual-display"
[ -n "${DISPLAY:-}" ] || start_virtual_display
if [ -z "${WINEPREFIX:-}" ]; then
  export WINEPREFIX="$(dirname "$purrbox")/wineprefix"
  "$root/tools/wine-prefix" "$WINEPREFIX"
fi
export WINEDEBUG=-all

status=0
pid=""
check() {  # check WHAT ACTUAL EXPECTED
  if [ "$2" = "$3" ]; then echo "ok   $1: $2"; else echo "FAIL $1: '$2', expected '$3'"; status=1; fi
}
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
  stop_virtual_display
}
trap cleanup EXIT

# Starts Purrbox from a directory of its own and waits for its window.
start_purrbox() {
  local elsewhere="$output/started-elsewhere" tries
  rm -rf "$elsewhere"
  mkdir -p "$elsewhere"
  (cd "$elsewhere" && exec "$wine" "$purrbox") &
  pid=$!
  window=""
  for tries in $(seq 1 150); do
    window="$(xdotool search --name "$title_pattern" 2>/dev/null | head -n 1 || true)"
    [ -n "$window" ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.2
  done
  if [ -z "$window" ]; then
    echo "FAIL the Purrbox window did not appear"
    exit 1
  fi
  echo "ok   window appeared: X window $window"
}

# Waits up to 15 s for Purrbox to end; sets code to its exit code, or "running".
wait_for_exit() {
  local tries
  for tries in $(seq 1 150); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$pid" 2>/dev/null; then code=running; return; fi
  if wait "$pid"; then code=0; else code=$?; fi
  pid=""
}

focused() { "$wine" "$probe" focus | tr -d '\r'; }

press() {
  xdotool key --clearmodifiers "$1"
  sleep 0.5
}

mkdir -p "$output"

echo "== first run: keyboard, folder, Alt+F4"
start_purrbox
sleep 1  # let it paint
import -window root "$output/purrbox-window.png"
echo "ok   screenshot: $output/purrbox-window.png"

# No window manager under Xvfb: give the window the keyboard directly.
xdotool windowfocus --sync "$window"
check "focus at start" "$(focused)" 100
for expected in 110 140 100; do
  press Tab
  check "focus after Tab" "$(focused)" "$expected"
done
for expected in 140 110 100; do
  press shift+Tab
  check "focus after Shift+Tab" "$(focused)" "$expected"
done
press Escape
check "window after Escape" "$(xdotool search --name "$title_pattern" | head -n 1)" "$window"
check "focus after Escape" "$(focused)" 100

folder="$("$wine" winepath -w "$(dirname "$purrbox")" | tr -d '\r')"
current="$("$wine" "$probe" cwd | tr -d '\r')"
check "current directory (started elsewhere)" "${current%\\}" "${folder%\\}"

press alt+F4
wait_for_exit
check "exit code after Alt+F4" "$code" 0

echo "== second run: WM_CLOSE"
start_purrbox
"$wine" "$probe" close
wait_for_exit
check "exit code after WM_CLOSE" "$code" 0

exit $status
