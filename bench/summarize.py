#!/usr/bin/env python3
"""Turns the runs of scripts/bench.sh into the results table (Markdown).

Each run's log holds Wine's fps lines, stamped with Wine's clock:
    123.456:0100:trace:fps:wined3d_cs_exec_present 00000000003ABD70 @ approx 269.82fps
The first line is the first present; each later one gives the rate over the
1.5 s before it. A run's frame rate is its fastest interval after the warm-up;
a program's figure is the median over the rounds, and each ratio is taken per
round, between runs made one after the other, before its median is taken.
"""
import argparse
import datetime
import platform
import re
import statistics
import subprocess

PRESENT = re.compile(r"^(\d+\.\d+):[0-9a-f]+:trace:fps:wined3d_cs_exec_present .* @ approx ([0-9.]+)fps")
# The first present, and the interval that still holds the start-up.
WARM_UP_LINES = 2
NAMES = ("program", "minimal", "bare")


def read_run(log, launch):
    presents = []
    with open(log, errors="replace") as lines:
        for line in lines:
            match = PRESENT.match(line)
            if match:
                presents.append((float(match.group(1)), float(match.group(2))))
    if not presents:
        return None, None
    start_up = presents[0][0] - launch if launch is not None else None
    # The machine is shared: other work only ever slows a run down, so the
    # fastest interval is the least disturbed one.
    rates = [rate for _, rate in presents[WARM_UP_LINES:]]
    return (max(rates) if rates else None), start_up


def read_runs(path):
    runs = {}  # round -> name -> (fps, start-up seconds)
    with open(path) as table:
        for row in table:
            fields = row.rstrip("\n").split("\t")
            if len(fields) != 4:
                continue
            round_, name, launch, log = fields
            runs.setdefault(int(round_), {})[name] = read_run(
                log, float(launch) if launch else None)
    return runs


def median_of(values):
    values = [value for value in values if value is not None]
    return statistics.median(values) if values else None


def spread(values):
    values = [value for value in values if value is not None]
    if not values:
        return "n/a"
    return "%.3f to %.3f" % (min(values), max(values))


def ratios(runs, index, top, bottom):
    result = []
    for by_name in runs.values():
        a, b = by_name.get(top), by_name.get(bottom)
        if a and b and a[index] and b[index]:
            result.append(a[index] / b[index])
    return result


def number(value, form):
    return form % value if value is not None else "n/a"


def machine():
    model = "unknown CPU"
    try:
        with open("/proc/cpuinfo") as info:
            for line in info:
                if line.startswith("model name"):
                    model = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    try:
        wine = subprocess.run(["wine", "--version"], capture_output=True, text=True).stdout.strip()
    except OSError:
        wine = "wine (version unknown)"
    cores = subprocess.run(["nproc"], capture_output=True, text=True).stdout.strip()
    return "%s, %s cores, %s %s, %s under Xvfb" % (
        model, cores, platform.system(), platform.release(), wine)


def goal(value, test):
    if value is None:
        return "n/a"
    return "met" if test(value) else "NOT met"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", required=True)
    parser.add_argument("--per-frame", required=True)
    parser.add_argument("--frame-difference", required=True)
    parser.add_argument("--load", required=True)
    parser.add_argument("--rounds", required=True)
    parser.add_argument("--seconds", required=True)
    options = parser.parse_args()

    runs = read_runs(options.runs)
    fps = {name: median_of(r.get(name, (None, None))[0] for r in runs.values()) for name in NAMES}
    start = {name: median_of(r.get(name, (None, None))[1] for r in runs.values()) for name in NAMES}
    fastest = {name: min((r.get(name, (None, None))[1] for r in runs.values()
                          if r.get(name, (None, None))[1] is not None), default=None)
               for name in NAMES}
    fps_minimal = ratios(runs, 0, "program", "minimal")
    fps_bare = ratios(runs, 0, "program", "bare")
    minimal_bare = ratios(runs, 0, "minimal", "bare")
    start_minimal = ratios(runs, 1, "program", "minimal")
    ratio_fps_minimal = median_of(fps_minimal)
    ratio_start = median_of(start_minimal)

    now = datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%d %H:%M UTC")
    out = []
    out.append("# Benchmark results")
    out.append("")
    out.append("%s; %s." % (now, machine()))
    out.append("%s rounds, each running the program, the minimal loop and the bare loop one after "
               "another (order rotating), %s measured seconds per run; load average before / "
               "after: %s." % (options.rounds, options.seconds, options.load))
    out.append("")
    out.append("## Frame rate and start-up (medians over the rounds)")
    out.append("")
    out.append("| | program | minimal loop | bare loop |")
    out.append("|---|---:|---:|---:|")
    out.append("| frames per second (fastest 1.5 s interval of a run) | %s | %s | %s |" % tuple(
        number(fps[name], "%.1f") for name in NAMES))
    out.append("| start-up to first present, ms (fastest run) | %s | %s | %s |" % tuple(
        "%s (%s)" % (number(start[name] * 1000 if start[name] is not None else None, "%.0f"),
                     number(fastest[name] * 1000 if fastest[name] is not None else None, "%.0f"))
        for name in NAMES))
    out.append("")
    out.append("| ratio (per round, side by side) | median | range over rounds | goal |")
    out.append("|---|---:|---:|---|")
    out.append("| frame rate, program / minimal | %s | %s | >= 0.95: %s |" % (
        number(ratio_fps_minimal, "%.3f"), spread(fps_minimal),
        goal(ratio_fps_minimal, lambda v: v >= 0.95)))
    out.append("| frame rate, program / bare | %s | %s | (what the device leaves) |" % (
        number(median_of(fps_bare), "%.3f"), spread(fps_bare)))
    out.append("| frame rate, minimal / bare | %s | %s | (what drawing costs) |" % (
        number(median_of(minimal_bare), "%.3f"), spread(minimal_bare)))
    out.append("| start-up, program / minimal | %s | %s | <= 1.10: %s |" % (
        number(ratio_start, "%.3f"), spread(start_minimal),
        goal(ratio_start, lambda v: v <= 1.10)))
    out.append("")
    out.append("Frames compared (program against minimal loop, pixels of 480000 differing by "
               "more than 2%%): %s." % options.frame_difference)
    out.append("")
    out.append("Per run:")
    out.append("")
    out.append("| round | " + " | ".join("%s fps | %s start-up ms" % (n, n) for n in NAMES) + " |")
    out.append("|---:|" + "---:|" * (2 * len(NAMES)))
    for round_ in sorted(runs):
        cells = []
        for name in NAMES:
            rate, start_up = runs[round_].get(name, (None, None))
            cells.append(number(rate, "%.1f"))
            cells.append(number(start_up * 1000 if start_up is not None else None, "%.0f"))
        out.append("| %d | %s |" % (round_, " | ".join(cells)))
    out.append("")
    out.append("## Per-frame work of RenderFrame (Direct3D test doubles)")
    out.append("")
    with open(options.per_frame, errors="replace") as per_frame:
        out.append(per_frame.read().rstrip())
    print("\n".join(out))


if __name__ == "__main__":
    main()
