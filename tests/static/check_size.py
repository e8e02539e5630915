#!/usr/bin/env python3
"""The size of a built Purrbox.exe: tools/size-report accounts for every byte
of it, and the file is at most 1.15 times the payload it must carry.

    check_size.py SIZE_REPORT BUILD_DIR ICON_FILE...

The payload is measured in the executable itself: the data of every resource
(the application icon and its group, the manifest, the version block) and the
icon files, each of which must be found in it byte for byte.
"""
import csv
import io
import os
import re
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from check_executable import Checks, PeFile  # noqa: E402

MAX_RATIO = 1.15


def run_report(size_report, build_dir):
    result = subprocess.run([sys.executable, size_report, build_dir], capture_output=True, text=True)
    return result.returncode, result.stdout, result.stderr


def payload(data, icon_files):
    resources = sum(len(entry[3]) for entry in PeFile(data).resources())
    icons = [open(path, "rb").read() for path in icon_files]
    return resources, icons


def check_report_rows(checks, size_report, build_dir, data, icons):
    code, out, err = run_report(size_report, build_dir)
    checks.expect("size-report exit status", (code, err), (0, ""))
    rows = list(csv.reader(io.StringIO(out)))
    checks.expect("header line", rows[0] if rows else None, ["executable", "contributor", "bytes"])
    body = rows[1:]
    name = f"{os.path.basename(os.path.normpath(build_dir))}/Purrbox.exe"
    checks.expect("every row names this executable", {row[0] for row in body}, {name})
    sizes = {row[1]: int(row[2]) for row in body}
    checks.expect("contributors named once each", len(sizes), len(body))
    checks.expect("last row is the total", body[-1][1] if body else None, "total")
    checks.expect("total is the file size", sizes.get("total"), len(data))
    checks.expect("rows add up to the file size", sum(v for k, v in sizes.items() if k != "total"), len(data))
    checks.expect("no row is empty or negative", [k for k, v in sizes.items() if v <= 0], [])
    checks.expect("the icon files count as the program's own",
                  sizes.get("program objects", 0) >= sum(len(icon) for icon in icons), True)
    checks.expect("the C runtime is a row of its own", "libmsvcrt.a" in sizes, True)
    print(out, end="")


def check_stale_map_refused(checks, size_report, build_dir):
    """A map of another link (here: this one with its code section grown by one
    file-alignment block) describes other sections: the report fails, not guesses."""
    text = open(os.path.join(build_dir, "Purrbox.map"), encoding="utf-8", errors="replace").read()
    header = re.search(r"^\.text +0x[0-9a-fA-F]+ +0x([0-9a-fA-F]+)$", text, re.M)
    checks.expect("the map has a code section", header is not None, True)
    if header is None:
        return
    grown = f"{int(header.group(1), 16) + 0x200:x}"
    stale = text[:header.start(1)] + grown + text[header.end(1):]
    with tempfile.TemporaryDirectory() as scratch:
        shutil.copy(os.path.join(build_dir, "Purrbox.exe"), scratch)
        with open(os.path.join(scratch, "Purrbox.map"), "w", encoding="utf-8") as file:
            file.write(stale)
        code, out, err = run_report(size_report, scratch)
    checks.expect("a map of another link is refused", (code, out, "does not describe" in err), (1, "", True))


def check(size_report, build_dir, icon_files):
    checks = Checks()
    data = open(os.path.join(build_dir, "Purrbox.exe"), "rb").read()
    resources, icons = payload(data, icon_files)
    checks.expect("icon files carried byte for byte", [data.find(icon) >= 0 for icon in icons],
                  [True] * len(icons))
    check_report_rows(checks, size_report, build_dir, data, icons)
    check_stale_map_refused(checks, size_report, build_dir)
    carried = resources + sum(len(icon) for icon in icons)
    ratio = len(data) / carried
    print(f"payload {carried} bytes (resources {resources}, icon files {carried - resources}); "
          f"file {len(data)} bytes, {ratio:.3f} x the payload")
    checks.expect(f"file at most {MAX_RATIO} x the payload", ratio <= MAX_RATIO, True)
    print(f"{build_dir}: {checks.passed} passed, {checks.failed} failed")
    return checks.failed == 0


if __name__ == "__main__":
    if len(sys.argv) < 4:
        print(__doc__.strip(), file=sys.stderr)
        sys.exit(2)
    sys.exit(0 if check(sys.argv[1], sys.argv[2], sys.argv[3:]) else 1)
