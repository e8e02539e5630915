#!/usr/bin/env bash
# The keyboard keeps working after every action, as in any Windows dialog:
# the real Purrbox.exe under Wine, driven by keys alone, read back from
# outside through the prefix's registry. After each action the focus is back
# on the button that started it, so Tab, Shift+Tab and Space go on working:
# after a silent action, after a message box closed with Enter, and after the
# window lost the activation to another program and got it back.
#   keyboard_e2e.sh PURRBOX.exe WINDOW_PROBE.exe OUTPUT_DIR
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/e2e_lib.sh"
e2e_setup "$@"

focused() { probe focus; }

# press_for WHAT KEY FOCUS: presses KEY and waits for the focus to be on FOCUS.
press_for() {
  press "$2"
  check_soon "$1: focus" "$3" focused
}

# Space on the focused button; the action ends with DEFAULT in the key, both
# buttons enabled and the focus back on that button.
space_writes() {  # space_writes WHAT DEFAULT BUTTON
  press space
  check_soon "$1: default value" "REG_EXPAND_SZ $2" default_of
  check_soon "$1: buttons enabled again" "1 1" probe buttons
  check_soon "$1: focus back on the button" "$3" focused
}

# The three gestures of a keyboard user, from the switch button.
switch_restore_switch() {  # switch_restore_switch WHAT
  space_writes "$1, Space" "$cat_empty" 100
  press_for "$1, Tab" Tab 110
  space_writes "$1, Tab and Space" "$windows_empty" 110
  press_for "$1, Shift+Tab" shift+Tab 100
  space_writes "$1, Shift+Tab and Space" "$cat_empty" 100
}

seed_windows10
start_purrbox "$purrbox" || { echo "FAIL the Purrbox window did not appear"; exit 1; }
check_soon "the window has the keyboard" window probe foreground
check_soon "focus at start" 100 focused

echo "== silent actions"
switch_restore_switch "silent"

echo "== after a message box closed with Enter"
press space
check "second switch: message box" "$(wait_for_message)" "Purrbox"$'\t'"当前回收站已是Purrbox！"
close_message "Purrbox"
check_soon "after the box: buttons enabled again" "1 1" probe buttons
check_soon "after the box: focus back on the button" 100 focused
press_for "after the box, Tab" Tab 110
space_writes "after the box, Tab and Space" "$windows_empty" 110
press_for "after the box, Shift+Tab" shift+Tab 100
space_writes "after the box, Shift+Tab and Space" "$cat_empty" 100
press Tab  # the restore button has the focus when the window loses it
check_soon "before another program: focus" 110 focused

echo "== after the activation went to another program and came back"
"$wine" notepad >/dev/null 2>&1 &
notepad_pid=$!
check_soon "another program has the keyboard" other probe foreground
screenshot "another-program-active"
press alt+F4  # ends Notepad; Windows activates Purrbox again
check_soon "Notepad ended" gone bash -c "kill -0 $notepad_pid 2>/dev/null && echo running || echo gone"
check_soon "Purrbox active again" window probe foreground
check_soon "focus back on the restore button" 110 focused
space_writes "reactivated, Space" "$windows_empty" 110
press_for "reactivated, Shift+Tab" shift+Tab 100
space_writes "reactivated, Shift+Tab and Space" "$cat_empty" 100
press_for "reactivated, Tab" Tab 110
space_writes "reactivated, Tab and Space" "$windows_empty" 110

probe close
wait_purrbox_exit
check "exit code" "$purrbox_code" 0
seed_windows10  # leave the prefix as Windows 10 has it
exit $status
