#!/usr/bin/env bash
# Purrbox.exe end to end under Wine, as a user meets it: started from another
# directory, its window appears and is photographed; Tab and Shift+Tab walk
# the focus, Escape leaves the window open; its current directory is its own
# folder; Alt+F4 ends it with exit code 0, and so does WM_CLOSE in a second run.
#   window_e2e.sh PURRBOX.exe WINDOW_PROBE.exe OUTPUT_DIR
# Uses $DISPLAY and $WINEPREFIX when set (tools/test sets both), else starts
# a virtual display and prepares the prefix beside Purrbox.exe.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/e2e_lib.sh"
e2e_setup "$@"

# Starts Purrbox from a directory of its own and waits for its window.
start_elsewhere() {
  local elsewhere="$output/started-elsewhere"
  rm -rf "$elsewhere"
  mkdir -p "$elsewhere"
  if ! start_purrbox "$purrbox" "$elsewhere"; then
    echo "FAIL the Purrbox window did not appear"
    exit 1
  fi
  echo "ok   window appeared: X window $purrbox_window"
}

focused() { probe focus; }

echo "== first run: keyboard, folder, Alt+F4"
start_elsewhere
screenshot window

check_soon "the window has the keyboard" window probe foreground
check_soon "focus at start" 100 focused
for expected in 110 140 100; do
  press Tab
  check_soon "focus after Tab" "$expected" focused
done
for expected in 140 110 100; do
  press shift+Tab
  check_soon "focus after Shift+Tab" "$expected" focused
done
press Escape
# Keys are handled in order: once the Tab after Escape has moved the focus,
# Escape has been handled too.
press Tab
check_soon "focus after Escape and Tab" 110 focused
check "window after Escape" "$(xdotool search --name "$purrbox_title_pattern" | head -n 1)" "$purrbox_window"
check "state after Escape" "$(probe state)" normal

# The probe reads the directory out of the other process's PEB; a 32-bit
# probe under the 32-bit emulation (tools/x86-wine-test) cannot: Wine's
# WoW64 hands it a PEB in the 64-bit layout (the image base where that
# layout has it). That run says so.
if [ -n "${PURRBOX_E2E_NO_PEB_READS:-}" ]; then
  echo "skip current directory (started elsewhere): $PURRBOX_E2E_NO_PEB_READS"
else
  folder="$("$wine" winepath -w "$(dirname "$purrbox")" | tr -d '\r')"
  current="$(probe cwd)"
  check "current directory (started elsewhere)" "${current%\\}" "${folder%\\}"
fi

press alt+F4
wait_purrbox_exit
check "exit code after Alt+F4" "$purrbox_code" 0

echo "== second run: WM_CLOSE"
start_elsewhere
probe close
wait_purrbox_exit
check "exit code after WM_CLOSE" "$purrbox_code" 0

exit $status
