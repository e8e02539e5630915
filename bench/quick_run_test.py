#!/usr/bin/python3
"""Runs tools/bench once in its quick mode and checks that it did its work:
the table with every row, the CSV file with the same rows and sound numbers,
the chart, and size totals equal to the executables' sizes. No time or
memory figure is judged: that is what the benchmark itself is for.

    quick_run_test.py SOURCE_DIR OUTPUT_DIR"""

import csv
import subprocess
import sys
from pathlib import Path

EXPECTED_ROWS = [
    ("size x64", "payload"), ("size x86", "payload"),
    ("start", "bare window"), ("start", "same window"),
    ("peak memory", "bare window"), ("peak memory", "same window"),
    ("switch without SHChangeNotify", "straight-line calls"), ("restore without SHChangeNotify", "straight-line calls"),
    ("switch with SHChangeNotify", "straight-line calls"), ("restore with SHChangeNotify", "straight-line calls"),
]

failures = []


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what)
    if not condition:
        failures.append(what)


def main():
    source, out = Path(sys.argv[1]), Path(sys.argv[2])
    for stale in ("results.csv", "ratios.png"):
        (out / stale).unlink(missing_ok=True)
    run = subprocess.run([str(source / "tools" / "bench"), "--quick", "--no-build", "--use-display", "--out", str(out)],
                         capture_output=True, text=True, timeout=280)
    print(run.stdout)
    print(run.stderr, file=sys.stderr)
    check(run.returncode == 0, "tools/bench --quick exits with 0")
    table = run.stdout.splitlines()
    check(any(line.startswith("Purrbox benchmark: 2 rounds") for line in table), "the table names its 2 rounds")
    check(any("(the actions 8)" in line for line in table), "the table names the actions' 8 rounds")
    for measure, baseline in EXPECTED_ROWS:
        check(any(line.startswith(measure + " ") and baseline in line for line in table),
              "the table has the row %s / %s" % (measure, baseline))

    results = out / "results.csv"
    check(results.is_file(), "results.csv is written")
    rows = list(csv.DictReader(results.open())) if results.is_file() else []
    for measure, baseline in EXPECTED_ROWS:
        found = [r for r in rows if r["measure"] == measure and r["baseline"] == baseline]
        check(len(found) == 1, "results.csv has one row %s / %s" % (measure, baseline))
        if not found:
            continue
        entry = found[0]
        expected_n = "1" if measure.startswith("size") else "8" if "SHChangeNotify" in measure else "2"
        check(entry["n"] == expected_n, "%s / %s: n is %s" % (measure, baseline, expected_n))
        numbers = [float(entry[key]) for key in ("subject_median", "baseline_median", "ratio")]
        check(all(number > 0 for number in numbers), "%s / %s: medians and ratio are positive" % (measure, baseline))
        check(entry["verdict"] in ("", "met", "over"), "%s / %s: a verdict or none" % (measure, baseline))

    for label, tree in (("x64", "windows-x64"), ("x86", "windows-x86")):
        exe = source / "build" / tree / "Purrbox.exe"
        totals = [r for r in rows if r["measure"] == "size " + label and r["baseline"].lower() == "total"]
        check(len(totals) == 1 and int(totals[0]["subject_median"]) == exe.stat().st_size,
              "size %s: the total row is the size of %s" % (label, exe))

    chart = out / "ratios.png"
    check(chart.is_file() and chart.read_bytes()[:8] == b"\x89PNG\r\n\x1a\n", "ratios.png is a PNG image")
    if failures:
        print("%d check(s) failed" % len(failures))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
