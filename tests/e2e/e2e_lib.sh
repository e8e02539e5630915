# Sourced by the end-to-end scripts: arguments, display, prefix and clean-up,
# and the few checks and gestures they share.
#   SCRIPT PURRBOX.exe WINDOW_PROBE.exe OUTPUT_DIR
# Uses $DISPLAY and $WINEPREFIX when set (tools/test sets both), else starts
# a virtual display and prepares the prefix beside Purrbox.exe.
# The prefix runs its programs in Wine's virtual desktop, which draws the
# windows' frames; every step waits for what it can observe, up to a bound.
e2e_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
source "$e2e_root/tools/virtual-display"
source "$e2e_root/tools/purrbox-window"
wine=/usr/lib/wine/wine64
status=0
shot=0
own_prefix=""

e2e_setup() {
  purrbox="$(realpath "$1")"
  probe_exe="$(realpath "$2")"
  purrbox_probe="$probe_exe"  # start_purrbox waits until the window has painted
  output="$(realpath -m "$3")"
  mkdir -p "$output"
  [ -n "${DISPLAY:-}" ] || start_virtual_display
  if [ -z "${WINEPREFIX:-}" ]; then
    export WINEPREFIX="$(dirname "$purrbox")/wineprefix"
    own_prefix=1
    "$e2e_root/tools/wine-prefix" "$WINEPREFIX"
  fi
  export WINEDEBUG=-all
  # Chinese window titles and texts pass through xdotool, reg and the probe
  # as UTF-8, whatever locale the caller had.
  export LC_ALL=C.UTF-8
  trap e2e_cleanup EXIT
}

# Wine's desktop and services of this run live on its display: they must be
# gone before the display goes, or the next run meets a desktop whose display
# has vanished. Only a prefix of this run's own is ended so.
e2e_cleanup() {
  local code=$? command="$BASH_COMMAND"
  # A step that stopped the script says which one it was.
  [ "$code" -eq 0 ] || [ "$status" -ne 0 ] || echo "FAIL stopped by a failed command (exit $code): $command"
  stop_purrbox
  if [ -n "$own_prefix" ]; then
    /usr/lib/wine/wineserver -k 2>/dev/null || true
    timeout 20 /usr/lib/wine/wineserver -w 2>/dev/null || true  # -k does not wait for the end
  fi
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

# Prints the output of COMMAND once it is EXPECTED, or whatever it is when
# SECONDS have passed. Each look takes a fraction of a second itself; the
# pause between looks only spares the processor.
wait_for() {  # wait_for EXPECTED SECONDS COMMAND...
  local expected="$1" deadline=$((SECONDS + $2)) actual
  shift 2
  while :; do
    actual="$("$@" 2>/dev/null || true)"
    [ "$actual" = "$expected" ] && break
    [ "$SECONDS" -ge "$deadline" ] && break
    sleep 0.1
  done
  echo "$actual"
}

# check_soon WHAT EXPECTED COMMAND...: the check of COMMAND's output, which
# may take up to 20 s to become EXPECTED.
check_soon() {
  local what="$1" expected="$2"
  shift 2
  check "$what" "$(wait_for "$expected" 20 "$@")" "$expected"
}

screenshot() {  # screenshot NAME: the whole display, numbered in order
  shot=$((shot + 1))
  local file
  file="$output/$(printf '%02d' "$shot")-${1// /-}.png"
  import -window root "$file"
  echo "     screenshot: $file"
}

# Windows' screen coordinates are those of the virtual desktop; its X window
# may stand anywhere on the display.
desktop_origin() {
  xwininfo -name "$virtual_desktop_title" 2>/dev/null |
    awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF } END { print x + 0, y + 0 }'
}

pointer_at() { xdotool getmouselocation | awk '{ sub("x:", "", $1); sub("y:", "", $2); print $1, $2 }'; }

# (Not mousemove --sync: it waits for a motion, and there is none when the
# pointer is already there.)
move_to() {  # move_to X Y: Windows screen coordinates
  local origin x y
  read -r -a origin <<<"$(desktop_origin)"
  x=$((origin[0] + $1))
  y=$((origin[1] + $2))
  xdotool mousemove "$x" "$y"
  wait_for "$x $y" 10 pointer_at >/dev/null
}

click_at() {  # click_at X Y
  move_to "$1" "$2"
  xdotool click 1
}

# A click in the middle of the control, once it can take one.
click_control() {  # click_control ID
  local point
  wait_for "1 1" 20 probe buttons >/dev/null
  read -r -a point <<<"$(probe centre "$1")"
  click_at "${point[0]}" "${point[1]}"
}

# Keys go to the virtual desktop, which hands them to the active window.
press() { xdotool key --clearmodifiers "$@"; }

# Prints "TITLE<tab>TEXT" of the message box once it is open (up to 20 s).
wait_for_message() {
  local deadline=$((SECONDS + 20))
  until probe message; do
    [ "$SECONDS" -ge "$deadline" ] && return 1
    sleep 0.1
  done
}

# Closes the open message box with Enter, as a user does, once it has the
# keyboard, and waits until it is gone.
close_message() {  # close_message TITLE
  check "the box '$1' has the keyboard" "$(wait_for box 20 probe foreground)" box
  press Return
  local deadline=$((SECONDS + 20))
  while probe message >/dev/null; do
    if [ "$SECONDS" -ge "$deadline" ]; then
      echo "FAIL the message box '$1' did not close"
      status=1
      return
    fi
    sleep 0.1
  done
}

# ---- The Recycle Bin's icon key in the prefix's registry, read from outside.
icon_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\CLSID\{645FF040-5081-101B-9F08-00AA002F954E}\DefaultIcon'
windows_empty='%SystemRoot%\System32\imageres.dll,-55'
windows_full='%SystemRoot%\System32\imageres.dll,-54'
cat_empty='%AppData%\brenoka\miaoIco\empty.dll,0'
cat_full='%AppData%\brenoka\miaoIco\full.dll,0'

reg() { LANG=C.UTF-8 "$wine" reg "$@" 2>/dev/null | tr -d '\r'; }

# "TYPE DATA" of one value of the key ("(Default)" for the default value).
value_of() {
  reg query "$icon_key" /v "$1" | awk -v name="$1" '
    { sub(/^ +/, "") }
    index($0, name) == 1 { rest = substr($0, length(name) + 1); sub(/^ +/, "", rest)
                           type = rest; sub(/ .*/, "", type); data = rest; sub(/^[^ ]+ +/, "", data)
                           print type " " data }'
}
default_of() {
  reg query "$icon_key" /ve | awk '/REG_/ { sub(/^ +\(Default\) +/, ""); type = $1; sub(/^[^ ]+ +/, ""); print type " " $0 }'
}

# Setting the key up is no check: a run of Wine's reg that fails is tried
# again, and said, up to three times, rather than ending the test unexplained.
seed_reg() {  # seed_reg REG-ARGUMENTS...
  local try
  for try in 1 2 3; do
    reg "$@" >/dev/null && return 0
    echo "note: reg $1 failed (try $try of 3)" >&2
  done
  return 1
}

seed_windows10() {
  reg delete "$icon_key" /f >/dev/null || true
  seed_reg add "$icon_key" /ve /t REG_EXPAND_SZ /d "$windows_empty" /f
  seed_reg add "$icon_key" /v empty /t REG_EXPAND_SZ /d "$windows_empty" /f
  seed_reg add "$icon_key" /v full /t REG_EXPAND_SZ /d "$windows_full" /f
}
