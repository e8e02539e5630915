#!/usr/bin/env bash
# Fails unless each Windows program imports only system DLLs that Windows
# always loads from System32 (its KnownDLLs): nothing of the MinGW runtime,
# and nothing a planted file beside the program could stand in for.
#   check_imports.sh OBJDUMP PROGRAM.exe...
set -euo pipefail
objdump="$1"
shift
allowed=" kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll ole32.dll msvcrt.dll "
status=0
for program in "$@"; do
  imports="$("$objdump" -p "$program" | awk '/DLL Name:/ {print tolower($3)}' | sort -u)"
  [ -n "$imports" ] || { echo "FAIL $program: no imports found"; status=1; continue; }
  for dll in $imports; do
    if [[ "$allowed" == *" $dll "* ]]; then
      echo "ok   $(basename "$program") imports $dll"
    else
      echo "FAIL $(basename "$program") imports $dll"
      status=1
    fi
  done
done
exit $status
