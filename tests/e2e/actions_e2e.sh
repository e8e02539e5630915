#!/usr/bin/env bash
# The two buttons end to end: the real Purrbox.exe under Wine, clicked with the
# mouse, against the Wine prefix's own registry and Application Data folder
# (a scratch Windows of the test run, so the real key is the one to use).
#   actions_e2e.sh PURRBOX.exe WINDOW_PROBE.exe OUTPUT_DIR BUILD_SETTINGS_HEADER
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/e2e_lib.sh"
e2e_setup "$@"
build_settings="$4"

contact="$(sed -n 's/^#define PURRBOX_CONTACT_NUMBER "\(.*\)"$/\1/p' "$build_settings")"
incompatible="可能是不兼容的系统，联系QQ：${contact}适配。"

expect_scheme() {  # expect_scheme WHAT DEFAULT EMPTY FULL
  check "$1: default value" "$(default_of)" "REG_EXPAND_SZ $2"
  check "$1: empty" "$(value_of empty)" "REG_EXPAND_SZ $3"
  check "$1: full" "$(value_of full)" "REG_EXPAND_SZ $4"
}

appdata="$("$wine" winepath -u "$(LANG=C.UTF-8 "$wine" cmd /c echo %APPDATA% | tr -d '\r')" | tr -d '\r')"
icon_folder="${appdata%/}/brenoka/miaoIco"

click_switch() { click_control 100; }   # "修改为Purrbox"
click_restore() { click_control 110; }  # "还原回收站"

# Waits for the action's message box; checks its title and text, that both
# buttons are disabled while it is open and enabled once Enter closed it.
expect_message() {  # expect_message WHAT TITLE TEXT
  local shown
  shown="$(wait_for_message)"
  check "$1: message box" "$shown" "$2"$'\t'"$3"
  check "$1: buttons while the box is open" "$(probe buttons)" "0 0"
  screenshot "$1"
  close_message "$2"
  check_soon "$1: buttons after the box" "1 1" probe buttons
}

# The action wrote DEFAULT, and the buttons are enabled again only once it
# has ended: then it showed no box.
expect_no_message() {  # expect_no_message WHAT DEFAULT
  check_soon "$1: default value written" "REG_EXPAND_SZ $2" default_of
  check_soon "$1: buttons enabled again" "1 1" probe buttons
  check "$1: no message box" "$(probe message || true)" ""
}

rm -rf "${appdata%/}/brenoka"
seed_windows10
start_purrbox "$purrbox" || { echo "FAIL the Purrbox window did not appear"; exit 1; }

echo "== switch"
click_switch
expect_no_message "switch" "$cat_empty"
expect_scheme "after the switch" "$cat_empty" "$cat_empty" "$cat_full"
for name in empty full; do
  check "$name.dll in Application Data" "$(cmp -s "$icon_folder/$name.dll" "$e2e_root/system/icons/$name.dll" && echo same)" same
done
screenshot "after-switch"

echo "== second switch"
click_switch
expect_message "second switch" "Purrbox" "当前回收站已是Purrbox！"
expect_scheme "after the second switch" "$cat_empty" "$cat_empty" "$cat_full"

echo "== restore"
click_restore
expect_no_message "restore" "$windows_empty"
expect_scheme "after the restore" "$windows_empty" "$windows_empty" "$windows_full"
check "miaoIco after the restore" "$([ -e "$icon_folder" ] && echo present || echo gone)" gone
check "brenoka after the restore" "$(ls -A "${appdata%/}/brenoka" 2>/dev/null | wc -l)" 0
screenshot "after-restore"

echo "== no key"
reg delete "$icon_key" /f >/dev/null
click_restore
expect_message "restore without the key" "原版回收站" "$incompatible"
click_switch
expect_message "switch without the key" "Purrbox" "$incompatible"
check "key after both clicks" "$(reg query "$icon_key" >/dev/null 2>&1 && echo present || echo absent)" absent

probe close
wait_purrbox_exit
check "exit code" "$purrbox_code" 0
seed_windows10  # leave the prefix as Windows 10 has it
exit $status
