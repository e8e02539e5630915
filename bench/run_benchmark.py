#!/usr/bin/python3
"""The benchmark behind tools/bench: size, start, peak memory and actions of
Purrbox against its baselines, run side by side (A B A B ...), one table.

Start is the time from the process's start to its window being viewable on
the X display (polled with Xlib); peak memory is VmHWM of the Wine process
running the program, read once every part of the window has painted. Both are
measured for Purrbox.exe and for two baselines built by the same toolchain
with the same options: a bare window, and the same window in a straight line.
The actions are timed inside one Wine process (bench_actions.exe)."""

import argparse
import csv
import os
import statistics
import subprocess
import sys
import time
from pathlib import Path

WINE = "/usr/lib/wine/wine64"
TITLE = "一键Purrbox - brenoka"
START_TIMEOUT = 30.0
EXIT_TIMEOUT = 15.0
ACTION_ROUNDS_PER_ROUND = 4


def resource_data_bytes(source, path):
    """The bytes of every resource's data (icon and group, manifest, version
    block), read as the size check of the build reads them."""
    sys.path.insert(0, str(Path(source) / "tests" / "static"))
    from check_executable import PeFile
    return sum(len(entry[3]) for entry in PeFile(Path(path).read_bytes()).resources())


def size_rows(source, tree):
    """(contributor, bytes) rows of the tree's Purrbox.exe from tools/size-report,
    the last of them the total."""
    report = Path(source) / "tools" / "size-report"
    out = subprocess.run([str(report), str(tree)], check=True, capture_output=True, text=True).stdout
    rows = list(csv.reader(out.splitlines()))[1:]  # after the header line
    return [(contributor, int(count)) for _, contributor, count in rows]


def payload_bytes(source, tree):
    icons = sum((Path(source) / "system" / "icons" / name).stat().st_size for name in ("empty.dll", "full.dll"))
    return icons, resource_data_bytes(source, Path(tree) / "Purrbox.exe")


class Display:
    """The X side: finds the benchmark window among the virtual desktop's children."""

    def __init__(self):
        from Xlib import display, X
        self.X = X
        self.display = display.Display()
        self.root = self.display.screen().root
        self.net_name = self.display.intern_atom("_NET_WM_NAME")
        self.utf8 = self.display.intern_atom("UTF8_STRING")
        self.names = {}

    def name(self, window):
        if window.id not in self.names:
            prop = window.get_full_property(self.net_name, self.utf8)
            name = prop.value.decode("utf-8", "replace") if prop is not None else ""
            if not name:
                return name  # not named yet (Wine names a window after making it): asked again next time
            self.names[window.id] = name
        return self.names[window.id]

    def viewable_window(self):
        """The viewable window titled as Purrbox's: a child of Wine's desktop
        window, or of the root where no virtual desktop is in use."""
        from Xlib import error
        for top in self.root.query_tree().children:
            try:
                found = self._viewable_among([top] + list(top.query_tree().children))
            except (error.BadWindow, error.BadDrawable):
                continue  # gone while it was looked at
            if found is not None:
                return found
        return None

    def describe(self):
        """The named windows, for a message."""
        found = []
        for top in self.root.query_tree().children:
            for window in [top] + list(top.query_tree().children):
                found.append("%s %r %d" % (hex(window.id), self.name(window), window.get_attributes().map_state))
        return ", ".join(found)

    def _viewable_among(self, windows):
        from Xlib import error
        for window in windows:
            try:
                if self.name(window) == TITLE and window.get_attributes().map_state == self.X.IsViewable:
                    return window
            except (error.BadWindow, error.BadDrawable):
                self.names.pop(window.id, None)
        return None


class Keeper:
    """bench_actions.exe serve: keeps the desktop alive, tells when a window has painted, closes it."""

    def __init__(self, exe, env):
        self.process = subprocess.Popen([WINE, str(exe), "serve"], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        text=True, env=env)
        # Its window exists before it reads a command: from then on the desktop does too.
        if self.ask("ping") != "pong":
            raise RuntimeError("the keeper did not start")

    def ask(self, command):
        self.process.stdin.write(command + "\n")
        self.process.stdin.flush()
        return self.process.stdout.readline().strip()

    def stop(self):
        self.process.stdin.close()
        try:
            self.process.wait(timeout=EXIT_TIMEOUT)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()


def vm_hwm_kib(pid):
    for line in Path(f"/proc/{pid}/status").read_text().splitlines():
        if line.startswith("VmHWM:"):
            return int(line.split()[1])
    raise RuntimeError("no VmHWM for process %d" % pid)


def start_once(exe, env, x, keeper):
    """(milliseconds to a viewable window, VmHWM in KiB once painted) of one run."""
    x.names.clear()  # X reuses the identifiers of windows that are gone
    if x.viewable_window() is not None:
        raise RuntimeError("a benchmark window is still open before %s starts" % exe)
    began = time.perf_counter()
    # The wine64 loader runs the program in this very process (it execs the preloader).
    process = subprocess.Popen([WINE, str(exe)], env=env, cwd=str(Path(exe).parent),
                               stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        while x.viewable_window() is None:
            if time.perf_counter() - began > START_TIMEOUT or process.poll() is not None:
                raise RuntimeError("%s showed no window within %d s (exit code %s); windows: %s"
                                   % (exe, START_TIMEOUT, process.poll(), x.describe()))
            time.sleep(0.001)
        shown = (time.perf_counter() - began) * 1000.0
        if keeper.ask("ready") != "ready":
            raise RuntimeError("%s did not finish painting" % exe)
        memory = vm_hwm_kib(process.pid)
        if keeper.ask("close") != "closed":
            raise RuntimeError("%s: no window to close" % exe)
        process.wait(timeout=EXIT_TIMEOUT)
        # The X window goes a moment after the process.
        deadline = time.perf_counter() + EXIT_TIMEOUT
        while x.viewable_window() is not None and time.perf_counter() < deadline:
            time.sleep(0.005)
        return shown, memory
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()


def median_ratio(pairs):
    return statistics.median(a / b for a, b in pairs)


def row(measure, subject, baseline, unit, pairs, goal=None, limit=None):
    """One line of the table: medians of both sides and the median of the pair-by-pair ratios."""
    subject_median = statistics.median(a for a, _ in pairs)
    baseline_median = statistics.median(b for _, b in pairs)
    ratio = median_ratio(pairs)
    verdict = ""
    if goal is not None:
        met = ratio <= goal and (limit is None or subject_median < limit)
        verdict = "met" if met else "over"
    return {"measure": measure, "subject": subject, "baseline": baseline, "unit": unit, "n": len(pairs),
            "subject_median": subject_median, "baseline_median": baseline_median, "ratio": ratio,
            "goal": "" if goal is None else ("<= %.2f" % goal + (" and < %g %s" % (limit, unit) if limit else "")),
            "verdict": verdict}


def run(args):
    source = Path(args.source)
    x64, x86 = Path(args.x64_tree).resolve(), Path(args.x86_tree).resolve()
    out = Path(args.out)
    out.mkdir(parents=True, exist_ok=True)
    env = dict(os.environ, WINEDEBUG="-all")
    rows, contributors, samples = [], [], []

    for label, tree in (("x64", x64), ("x86", x86)):
        if not (tree / "Purrbox.exe").exists():
            print("bench: no %s/Purrbox.exe, size of %s left out" % (tree, label), file=sys.stderr)
            continue
        sizes = size_rows(source, tree)
        total = dict((name.lower(), count) for name, count in sizes)["total"]
        icons, resources = payload_bytes(source, tree)
        for name, count in sizes:
            contributors.append({"measure": "size %s" % label, "subject": "Purrbox.exe", "baseline": name,
                                 "unit": "bytes", "subject_median": count})
        contributors.append({"measure": "size %s" % label, "subject": "payload", "baseline": "two cat icon files",
                             "unit": "bytes", "subject_median": icons})
        contributors.append({"measure": "size %s" % label, "subject": "payload", "baseline": "resource data",
                             "unit": "bytes", "subject_median": resources})
        rows.append(row("size %s" % label, "Purrbox.exe", "payload", "bytes", [(total, icons + resources)], 1.15))

    programs = [("Purrbox", x64 / "Purrbox.exe"), ("bare window", x64 / "bench" / "bench_bare_window.exe"),
                ("same window", x64 / "bench" / "bench_same_window.exe")]
    x = Display()
    keeper = Keeper(x64 / "bench" / "bench_actions.exe", env)
    try:
        for _, exe in programs:
            start_once(exe, env, x, keeper)  # unmeasured: the first start of each loads the files into the cache
        results = {name: [] for name, _ in programs}
        for round_index in range(args.rounds):
            # The order turns by one each round, so that no program always follows the same one.
            shift = round_index % len(programs)
            for name, exe in programs[shift:] + programs[:shift]:
                results[name].append(start_once(exe, env, x, keeper))
            print("bench: start round %d of %d done" % (round_index + 1, args.rounds), file=sys.stderr)
    finally:
        keeper.stop()
    for index, (measure, unit) in enumerate((("start", "ms"), ("peak memory", "KiB"))):
        for baseline, goal in (("bare window", None), ("same window", 1.05)):
            pairs = [(a[index], b[index]) for a, b in zip(results["Purrbox"], results[baseline])]
            rows.append(row(measure, "Purrbox", baseline, unit, pairs, goal))
        for name, _ in programs:
            samples += [(measure, name, r, values[index], unit) for r, values in enumerate(results[name])]

    # An action takes a millisecond or so, and a busy disk or processor can
    # make one of them ten times as long: the actions get more rounds.
    action_rounds = args.rounds * ACTION_ROUNDS_PER_ROUND
    actions = subprocess.run([WINE, str(x64 / "bench" / "bench_actions.exe"), str(action_rounds)], env=env,
                             capture_output=True, text=True, timeout=600)
    if actions.returncode != 0:
        raise RuntimeError("bench_actions failed (%d): %s%s" % (actions.returncode, actions.stdout, actions.stderr))
    timed, steps = {}, {}
    for line in actions.stdout.splitlines():
        fields = line.split(",")
        if fields[0] == "step":
            _, notify, action, step, _, microseconds = fields
            steps.setdefault((notify, action), {}).setdefault(step, []).append(float(microseconds) / 1000.0)
        if fields[0] == "action":
            _, notify, action, subject, round_index, microseconds = fields
            timed[(notify, action, subject, int(round_index))] = float(microseconds) / 1000.0
            samples.append(("%s %s" % (action, "with SHChangeNotify" if notify == "1" else "without SHChangeNotify"),
                            subject, int(round_index), float(microseconds) / 1000.0, "ms"))
    for notify, label in (("0", "without SHChangeNotify"), ("1", "with SHChangeNotify")):
        for action in ("switch", "restore"):
            pairs = [(timed[(notify, action, "purrbox", r)], timed[(notify, action, "straight", r)])
                     for r in range(action_rounds)]
            rows.append(row("%s %s" % (action, label), "Purrbox", "straight-line calls", "ms", pairs, 1.05,
                            5.0 if notify == "0" else None))

    with open(out / "rounds.csv", "w", newline="") as f:
        writer = csv.writer(f)
        writer.writerow(["measure", "program", "round", "value", "unit"])
        writer.writerows(samples)
    write_outputs(rows, contributors, steps, out, args)
    return rows


def print_steps(steps, path):
    """Where a straight-line action's time goes: the median of each step."""
    with open(path, "w", newline="") as f:
        writer = csv.writer(f)
        writer.writerow(["action", "step", "n", "median_ms"])
        print("\nthe straight-line actions step by step (medians, ms)")
        for (notify, action), by_step in sorted(steps.items()):
            label = "%s %s" % (action, "with SHChangeNotify" if notify == "1" else "without SHChangeNotify")
            parts = ["%s %.3f" % (step, statistics.median(values)) for step, values in by_step.items()]
            print("  %s: %s" % (label, ", ".join(parts)))
            for step, values in by_step.items():
                writer.writerow([label, step, len(values), "%.3f" % statistics.median(values)])


def write_outputs(rows, contributors, steps, out, args):
    columns = ["measure", "subject", "baseline", "unit", "n", "subject_median", "baseline_median", "ratio", "goal",
               "verdict"]
    with open(out / "results.csv", "w", newline="") as f:
        writer = csv.DictWriter(f, columns)
        writer.writeheader()
        for entry in rows + contributors:
            writer.writerow({key: fmt(entry.get(key, "")) for key in columns})

    header = ("measure", "subject", "baseline", "n", "subject", "baseline", "ratio", "goal", "")
    lines = [header]
    for entry in rows:
        unit = entry["unit"]
        lines.append((entry["measure"], entry["subject"], entry["baseline"], str(entry["n"]),
                      "%s %s" % (fmt(entry["subject_median"]), unit), "%s %s" % (fmt(entry["baseline_median"]), unit),
                      "%.3f" % entry["ratio"], entry["goal"], entry["verdict"]))
    widths = [max(len(line[i]) for line in lines) for i in range(len(header))]
    print("Purrbox benchmark: %d rounds (the actions %d), medians, ratio = median of the pair-by-pair ratios"
          % (args.rounds, args.rounds * ACTION_ROUNDS_PER_ROUND))
    for line in lines:
        print("  ".join(cell.ljust(width) for cell, width in zip(line, widths)).rstrip())
    if contributors:
        print("\nsize contributors (bytes)")
        for entry in contributors:
            print("  %-8s %-12s %-40s %10d" % (entry["measure"][5:], entry["subject"], entry["baseline"],
                                               entry["subject_median"]))
    print_steps(steps, out / "steps.csv")
    draw_chart(rows, out / "ratios.png", args.rounds)
    print("\nwritten: %s and %s; every measurement in %s, the steps in %s"
          % (out / "results.csv", out / "ratios.png", out / "rounds.csv", out / "steps.csv"))


def fmt(value):
    if isinstance(value, float):
        return "%.3f" % value if value < 100 else "%.0f" % value
    return str(value)


def draw_chart(rows, path, rounds):
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    labels = ["%s\n/ %s" % (entry["measure"], entry["baseline"]) for entry in rows]
    ratios = [entry["ratio"] for entry in rows]
    colours = ["tab:green" if entry["verdict"] == "met" else "tab:red" if entry["verdict"] == "over" else "tab:grey"
               for entry in rows]
    fig, axes = plt.subplots(figsize=(max(8, 1.1 * len(rows)), 5))
    axes.bar(range(len(rows)), ratios, color=colours)
    for index, entry in enumerate(rows):
        axes.text(index, entry["ratio"], "%.2f" % entry["ratio"], ha="center", va="bottom", fontsize=8)
    axes.axhline(1.0, color="black", linewidth=0.8)
    axes.axhline(1.05, color="tab:blue", linewidth=0.8, linestyle="--", label="1.05")
    axes.axhline(1.15, color="tab:purple", linewidth=0.8, linestyle=":", label="1.15 (size)")
    axes.set_xticks(range(len(rows)))
    axes.set_xticklabels(labels, rotation=45, ha="right", fontsize=7)
    axes.set_ylabel("Purrbox / baseline")
    axes.set_title("Purrbox against its baselines (%d rounds; green: goal met, red: over, grey: no goal)" % rounds,
                   fontsize=9)
    axes.legend(fontsize=8)
    fig.tight_layout()
    fig.savefig(path, dpi=100)
    plt.close(fig)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--source", required=True)
    parser.add_argument("--x64-tree", required=True)
    parser.add_argument("--x86-tree", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--rounds", type=int, default=15)
    args = parser.parse_args()
    if args.rounds < 1:
        parser.error("--rounds must be at least 1")
    run(args)


if __name__ == "__main__":
    main()
