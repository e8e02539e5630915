#!/usr/bin/env bash
# The window's frame, as Wine's virtual desktop draws it, worked with the
# mouse: the caption shows the title and the cat icon; a double click on the
# caption, a drag of the right or bottom edge and the greyed maximise box leave
# the 356 x 345 window where and as it was; minimise and a double click on the
# minimised caption bring it back unchanged; the close box, Close in the system
# menu (opened with Alt+Space or with a click on the caption icon) and a double
# click on the caption icon each end the program with exit code 0.
#   frame_e2e.sh PURRBOX.exe WINDOW_PROBE.exe OUTPUT_DIR
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/e2e_lib.sh"
e2e_setup "$@"

# Hit-test codes of the caption's parts.
HTCAPTION=2
HTSYSMENU=3
HTMINBUTTON=8
HTMAXBUTTON=9
HTCLOSE=20

start() {
  start_purrbox "$purrbox" || { echo "FAIL the Purrbox window did not appear"; exit 1; }
  check_soon "the window has the keyboard" window probe foreground
}

part() {  # part CODE: prints "X Y", the middle of that part of the caption
  local point
  point="$(probe hit "$1")" || { echo "FAIL the caption has no part $1" >&2; status=1; return 1; }
  echo "$point"
}

click_part() {  # click_part CODE [REPEAT]
  local point
  read -r -a point <<<"$(part "$1")" || return 0
  move_to "${point[0]}" "${point[1]}"
  xdotool click --repeat "${2:-1}" --delay 120 1
}

# Input is handled in the order it came: once a Tab pressed after a gesture
# has moved the focus, the gesture has been handled too.
gesture_handled() {  # gesture_handled WHAT
  press Tab
  check_soon "$1: handled (Tab after it moved the focus)" 110 probe focus
  press shift+Tab
  check_soon "$1: focus back" 100 probe focus
}

# The window is where and as it was at the start.
expect_unchanged() {  # expect_unchanged WHAT
  check "$1: outer rectangle" "$(probe rect)" "$start_rect"
  check "$1: state" "$(probe state)" normal
}

drag() {  # drag FROM_X FROM_Y BY_X BY_Y
  move_to "$1" "$2"
  xdotool mousedown 1
  move_to "$(($1 + $3 / 2))" "$(($2 + $4 / 2))"
  move_to "$(($1 + $3))" "$(($2 + $4))"
  xdotool mouseup 1
}

close_ends_the_program() {  # close_ends_the_program WHAT
  wait_purrbox_exit
  check "$1: exit code" "$purrbox_code" 0
}

echo "== the caption"
start
start_rect="$(probe rect)"
read -r left top right bottom <<<"$start_rect"
check "outer size" "$((right - left)) x $((bottom - top))" "356 x 345"
check "centred on the 1920 x 1080 screen" "$left $top" "782 367"
screenshot "window-with-caption"
convert "$output/$(printf '%02d' "$shot")-window-with-caption.png" -crop "356x345+$left+$top" +repage \
  "$output/window-with-caption-cropped.png"
echo "     screenshot: $output/window-with-caption-cropped.png"
for code in $HTCAPTION $HTSYSMENU $HTMINBUTTON $HTCLOSE; do
  check "caption part $code present" "$(part "$code" >/dev/null && echo present)" present
done

echo "== double click on the caption"
click_part $HTCAPTION 2
gesture_handled "double click"
expect_unchanged "after a double click on the caption"

echo "== dragging the right and the bottom edge"
drag "$((right - 1))" "$(((top + bottom) / 2))" 80 0
gesture_handled "right edge"
expect_unchanged "after dragging the right edge"
drag "$(((left + right) / 2))" "$((bottom - 1))" 0 80
gesture_handled "bottom edge"
expect_unchanged "after dragging the bottom edge"

echo "== the maximise box"
# The window has no maximise box of its own: Wine draws it greyed beside
# the minimise box, and a click on it does nothing.
if part $HTMAXBUTTON >/dev/null 2>&1; then
  click_part $HTMAXBUTTON
  gesture_handled "maximise box"
fi
expect_unchanged "after a click on the maximise box"

echo "== minimise and restore"
click_part $HTMINBUTTON
check_soon "after the minimise box" minimised probe state
screenshot "minimised"
click_part $HTCAPTION 2  # the minimised window's caption
check_soon "after a double click on the minimised caption" normal probe state
check_soon "painted again" 0 bash -c "'$wine' '$probe_exe' ready >/dev/null 2>&1; echo \$?"
expect_unchanged "after minimise and restore"
check_soon "focus after the restore" 100 probe focus

echo "== the close box"
click_part $HTCLOSE
close_ends_the_program "close box"

echo "== Close in the system menu, opened with Alt+Space"
start
press alt+space
check_soon "the system menu is open" present bash -c "'$wine' '$probe_exe' menu >/dev/null 2>&1 && echo present"
screenshot "system-menu"
press c  # &Close
close_ends_the_program "Close in the system menu (Alt+Space)"

echo "== Close in the system menu, opened with a click on the caption icon"
start
click_part $HTSYSMENU
check_soon "the system menu is open" present bash -c "'$wine' '$probe_exe' menu >/dev/null 2>&1 && echo present"
press c
close_ends_the_program "Close in the system menu (icon)"

echo "== double click on the caption icon"
start
click_part $HTSYSMENU 2
close_ends_the_program "double click on the caption icon"

exit $status
