# Sourced by the end-to-end scripts: arguments, display, prefix and clean-up,
# and the few checks and gestures they share.
#   SCRIPT PURRBOX.exe WINDOW_PROBE.exe OUTPUT_DIR
# Uses $DISPLAY and $WINEPREFIX when set (tools/test sets both), else starts
# a virtual display and prepares the prefix beside Purrbox.exe.
e2e_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
source "$e2e_root/tools/virtual-display"
source "$e2e_root/tools/purrbox-window"
wine=/usr/lib/wine/wine64
status=0
shot=0

e2e_setup() {
  purrbox="$(realpath "$1")"
  probe_exe="$(realpath "$2")"
  output="$(realpath -m "$3")"
  mkdir -p "$output"
  [ -n "${DISPLAY:-}" ] || start_virtual_display
  if [ -z "${WINEPREFIX:-}" ]; then
    export WINEPREFIX="$(dirname "$purrbox")/wineprefix"
    "$e2e_root/tools/wine-prefix" "$WINEPREFIX"
  fi
  export WINEDEBUG=-all
  # Chinese window titles and texts pass through xdotool, reg and the probe
  # as UTF-8, whatever locale the caller had.
  export LC_ALL=C.UTF-8
  trap e2e_cleanup EXIT
}

e2e_cleanup() {
  stop_purrbox
  stop_virtual_display
}

check() {  # check WHAT ACTUAL EXPECTED
  if [ "$2" = "$3" ]; then
    echo "ok   $1: $2"
  else
    echo "FAIL $1: '$2', expected '$3'"
    status=1
  fi
}

probe() { "$wine" "$probe_exe" "$@" | tr -d '\r'; }

screenshot() {  # screenshot NAME: the whole display, numbered in order
  shot=$((shot + 1))
  local file
  file="$output/$(printf '%02d' "$shot")-${1// /-}.png"
  import -window root "$file"
  echo "     screenshot: $file"
}

# Without a window manager the X window of Purrbox is its client area.
click_client() {  # click_client X Y
  xdotool mousemove --window "$purrbox_window" "$1" "$2" click 1
}

# Prints "TITLE<tab>TEXT" of the message box once it is open (up to 10 s).
wait_for_message() {
  local tries
  for tries in $(seq 1 50); do
    probe message && return 0
    sleep 0.2
  done
  return 1
}

# Closes the open message box with Enter, as a user does.
close_message() {  # close_message TITLE
  local box tries
  box="$(xdotool search --name "^$1\$" 2>/dev/null | head -n 1 || true)"
  [ -n "$box" ] && xdotool windowfocus --sync "$box" key Return
  for tries in $(seq 1 50); do
    probe message >/dev/null || return 0
    sleep 0.2
  done
  echo "FAIL the message box '$1' did not close"
  status=1
}

# Prints the buttons' state once it is EXPECTED, or whatever it is after 10 s.
# (Without a window manager Wine takes about 2 s to hide a closed box.)
buttons_once() {  # buttons_once EXPECTED
  local tries state
  for tries in $(seq 1 50); do
    state="$(probe buttons)"
    [ "$state" = "$1" ] && break
    sleep 0.2
  done
  echo "$state"
}
