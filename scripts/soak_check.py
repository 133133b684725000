"""Judges the samples of a soak run (see soak.sh): prints the summary and
exits 1 when handles or memory grew after the first minute."""
import csv
import sys

WARM_UP_SECONDS = 60
MEMORY_TOLERANCE_KIB = 2048
HANDLE_TOLERANCE = 0


def trend(rows, column):
    """The rise from the first to the last sample along the least-squares
    line through them."""
    times = [row["seconds"] for row in rows]
    values = [row[column] for row in rows]
    mean_time = sum(times) / len(times)
    mean_value = sum(values) / len(values)
    spread = sum((t - mean_time) ** 2 for t in times)
    if spread == 0:
        return 0.0
    slope = sum((t - mean_time) * (v - mean_value) for t, v in zip(times, values)) / spread
    return slope * (times[-1] - times[0])


def main(path, count):
    with open(path, newline="") as file:
        rows = [{key: int(value) for key, value in row.items()} for row in csv.DictReader(file)]
    rows = rows[:count]
    checked = [row for row in rows if row["seconds"] >= WARM_UP_SECONDS]
    if len(checked) < 3:
        print(f"soak: FAIL: {len(checked)} samples after the first minute; run longer")
        return 1
    base, last = checked[0], checked[-1]
    print(f"{len(rows)} samples in {last['seconds']} s, {len(checked)} of them from "
          f"{base['seconds']} s on, checked against the one at {base['seconds']} s")
    print(f"{'':24}{'at 1 min':>10}{'end':>10}{'peak':>10}{'change':>10}{'trend':>10}")
    failures = []
    for column, name, unit, tolerance in (
            ("handles", "handles", 1, HANDLE_TOLERANCE),
            ("working_set_kib", "working set (MiB)", 1024, MEMORY_TOLERANCE_KIB),
            ("private_kib", "private memory (MiB)", 1024, MEMORY_TOLERANCE_KIB)):
        change = last[column] - base[column]
        rise = trend(checked, column)
        peak = max(row[column] for row in rows)
        shown, signed = ("{:10.0f}", "{:+10.0f}") if unit == 1 else ("{:10.1f}", "{:+10.1f}")
        print(f"{name:24}" + "".join(shown.format(value / unit)
                                     for value in (base[column], last[column], peak)) +
              signed.format(change / unit) + signed.format(rise / unit))
        if change > tolerance:
            failures.append(f"{name} grew by {signed.format(change / unit).strip()}")
        elif column != "handles" and rise > tolerance:
            failures.append(f"{name} rose steadily, by {signed.format(rise / unit).strip()}")
    print(f"Tolerance: handles +{HANDLE_TOLERANCE}, memory +{MEMORY_TOLERANCE_KIB // 1024} MiB")
    if failures:
        print("soak: FAIL: " + "; ".join(failures))
        return 1
    print("soak: PASS")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], int(sys.argv[2])))
