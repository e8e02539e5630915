#!/usr/bin/env bash
# Builds the release twice with tools/release, from copies of the sources in
# folders of different lengths, one after the other (so at different times)
# and the second time from a caller with other compiler flags, locale, time
# zone and umask, and checks:
#  - both release folders hold the same bytes;
#  - SHA256SUMS names both executables and verifies with sha256sum -c;
#  - each executable is what its name says, stripped, with no time stamp, a
#    correct PE checksum and no build folder in it (check_release.py), and
#    carries the manifest and version block of its architecture;
#  - tools/release leaves nothing behind in its temporary folder.
#   release_reproducible_test.sh SOURCE_DIR WORK_DIR
set -euo pipefail
root="$1"
work="$2"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

rm -rf "$work"
first="$work/a"
second="$work/b/a-folder-name-much-longer-than-the-first-one/c"
mkdir -p "$first/tmp" "$second/tmp"

start=$SECONDS
TMPDIR="$first/tmp" "$root/tools/release" "$first/out"
( umask 077
  TMPDIR="$second/tmp" TZ=Pacific/Kiritimati LC_ALL=C LANG=C CXXFLAGS="-fno-omit-frame-pointer -g" LDFLAGS="-Wl,--image-base=0x20000000" \
    "$root/tools/release" "$second/out" )
echo "both release builds took $((SECONDS - start)) s"

failed=0
fail() { echo "FAIL $*"; failed=1; }

python3 "$here/check_release.py" compare "$first/out" "$second/out" || fail "the two release builds differ"

for out in "$first/out" "$second/out"; do
  names="$(awk '{ print $2 }' "$out/SHA256SUMS" | tr '\n' ' ')"
  [ "$names" = "Purrbox.exe Purrbox-x64.exe " ] || fail "$out/SHA256SUMS names: $names"
  (cd "$out" && sha256sum -c --strict SHA256SUMS) || fail "$out/SHA256SUMS does not verify"
  leftovers="$(ls -A "${out%/out}/tmp")"
  [ -z "$leftovers" ] || fail "tools/release left in its temporary folder: $leftovers"
done

python3 "$here/check_release.py" inspect "$first/out" "$first" "$second" "$root" || fail "inspection of $first/out"
python3 "$here/../static/check_executable.py" "$first/out/Purrbox.exe" x86 || fail "Purrbox.exe"
python3 "$here/../static/check_executable.py" "$first/out/Purrbox-x64.exe" amd64 || fail "Purrbox-x64.exe"

[ "$failed" -eq 0 ] && echo "release: reproducible, verified and inspected"
exit "$failed"
