"""Turns bench/run's samples into its one Markdown table, with the targets checked.

samples.txt holds "RUN METRIC VALUE" lines. Every figure is the median over the runs with the
smallest and largest in brackets; every comparison is computed within each run (same machine, same
minute) before the median is taken.
"""

import collections
import statistics
import sys

out = sys.argv[1]
runs = collections.defaultdict(dict)  # run -> metric -> value
for line in open(f"{out}/samples.txt"):
    parts = line.split()
    if len(parts) == 3 and parts[0] != "0":
        runs[parts[0]][parts[1]] = float(parts[2])


def per_run(expression):
    """The value of expression(metrics) for every run that has all it needs."""
    values = []
    for metrics in runs.values():
        try:
            values.append(expression(metrics))
        except (KeyError, ZeroDivisionError):
            pass
    return values


def series(metric, scale=1.0):
    return per_run(lambda m: m[metric] * scale)


def spread(values, digits=1, unit=""):
    if not values:
        return "–"
    form = f"{{:.{digits}f}}"
    middle = form.format(statistics.median(values)) + unit
    if len(values) == 1:
        return middle
    return f"{middle} ({form.format(min(values))}–{form.format(max(values))})"


def median(values):
    return statistics.median(values) if values else None


MB = 1 / 1024
rows = []
verdicts = []


def row(name, ferrowick="–", minimal="–", copyq="–", comparison=""):
    rows.append((name, ferrowick, minimal, copyq, comparison))


def target(description, values, passes):
    value = median(values)
    if value is None:
        verdicts.append(("n/a", description, "not measured"))
        return
    verdicts.append(("PASS" if passes(value) else "FAIL", description, value))


# Start-up
for field, title in (("painted", "Start-up: tray icon shown (first paint), ms"),
                     ("shown", "Start-up: tray icon mapped in the tray, ms")):
    to_minimal = per_run(lambda m: m[f"start.ferrowick.{field}"] / m[f"start.minimal.{field}"])
    to_copyq = per_run(lambda m: m[f"start.ferrowick.{field}"] / m[f"start.copyq.{field}"])
    row(title, spread(series(f"start.ferrowick.{field}")), spread(series(f"start.minimal.{field}")),
        spread(series(f"start.copyq.{field}")),
        f"{spread(to_minimal, 2, '×')} minimal; {spread(to_copyq, 2, '×')} CopyQ")
row("Start-up: \"launch:\" line in the debug log, ms", spread(series("start.ferrowick.launch")))
painted_minimal = per_run(lambda m: m["start.ferrowick.painted"] / m["start.minimal.painted"])
painted_copyq = per_run(lambda m: m["start.ferrowick.painted"] / m["start.copyq.painted"])
target("start-up within 1.25× the minimal tray program", painted_minimal, lambda v: v <= 1.25)
target("start-up below CopyQ", painted_copyq, lambda v: v < 1)

# Memory
rss_minimal = per_run(lambda m: m["mem.ferrowick.start.rss"] / m["mem.minimal.start.rss"])
rss_copyq = per_run(lambda m: m["mem.ferrowick.start.rss"] / m["mem.copyq.start.rss"])
pss_minimal = per_run(lambda m: m["mem.ferrowick.start.pss"] / m["mem.minimal.start.pss"])
row("RSS after start, MB", spread(series("mem.ferrowick.start.rss", MB)),
    spread(series("mem.minimal.start.rss", MB)), spread(series("mem.copyq.start.rss", MB)),
    f"{spread(rss_minimal, 2, '×')} minimal; {spread(rss_copyq, 2, '×')} CopyQ")
copyq_monitor = series("mem.copyq-monitor.start.pss", MB)
row("PSS after start, MB", spread(series("mem.ferrowick.start.pss", MB)),
    spread(series("mem.minimal.start.pss", MB)), spread(series("mem.copyq.start.pss", MB)),
    f"{spread(pss_minimal, 2, '×')} minimal"
    + (f"; CopyQ's clipboard process adds {spread(copyq_monitor)}" if copyq_monitor else ""))
row("RSS / PSS after the paste panel opened and closed, MB",
    f"{spread(series('mem.ferrowick.panel.rss', MB))} / {spread(series('mem.ferrowick.panel.pss', MB))}",
    "", f"{spread(series('mem.copyq.window.rss', MB))} / {spread(series('mem.copyq.window.pss', MB))}",
    "CopyQ: its main window shown and hidden")
row("RSS / PSS after the settings window opened and closed, MB",
    f"{spread(series('mem.ferrowick.settings.rss', MB))} / {spread(series('mem.ferrowick.settings.pss', MB))}")
target("RSS after start within 1.25× the minimal tray program", rss_minimal, lambda v: v <= 1.25)
target("RSS after start below CopyQ", rss_copyq, lambda v: v < 1)

# Idle
row("Idle: CPU time over the idle window, ms", spread(series("idle.ferrowick.cpu_ms"), 0),
    spread(series("idle.minimal.cpu_ms"), 0), spread(series("idle.copyq.cpu_ms"), 0))
row("Idle: wake-ups (context switches) over the idle window", spread(series("idle.ferrowick.wakeups"), 0),
    spread(series("idle.minimal.wakeups"), 0), spread(series("idle.copyq.wakeups"), 0))
target("no wake-ups at idle (the poll timer is 300 s away)", series("idle.ferrowick.wakeups"),
       lambda v: v == 0)

# Latency
app = series("lat.app.median")
over_floor = per_run(lambda m: m["lat.app.median"] - m["lat.curl.median"])
speedup = per_run(lambda m: m["lat.script.median"] / m["lat.app.median"])
row("Shrink shortcut → short link on the clipboard, median, ms", spread(app, 2),
    comparison=f"{spread(over_floor, 2)} ms above the bare round trip; {spread(speedup, 1, '×')} faster than the script")
row("Shrink shortcut → short link on the clipboard, p99, ms", spread(series("lat.app.p99"), 2))
row("The same job as a shell script (xclip → curl → jq → xclip), median, ms",
    spread(series("lat.script.median"), 1))
row("Bare loopback HTTPS round trip, kept alive (curl), median, ms", spread(series("lat.curl.median"), 2))
row("The same round trip through Ferrowick's network transport (Qt), median, ms",
    spread(series("lat.qt.median"), 2))
target("shortcut-to-clipboard median within 3 ms of the bare round trip", over_floor, lambda v: v <= 3)
target("shortcut-to-clipboard at least 10× faster than the script", speedup, lambda v: v >= 10)

# Growth
shrink_growth = per_run(lambda m: (m["mem.ferrowick.shrinks2.rss"] - m["mem.ferrowick.shrinks1.rss"]) * MB)
paste_growth = per_run(lambda m: (m["mem.driver.pastes2.rss"] - m["mem.driver.pastes1.rss"]) * MB)
checkpoints = ""
for line in open(f"{out}/machine.txt"):
    if "growth checkpoints" in line:
        checkpoints = line.split("growth checkpoints")[1].split(";")[0].strip().split()
first, second = (checkpoints + ["?", "?"])[:2]
row(f"RSS after {first} / {second} shrinks (pressed), MB",
    f"{spread(series('mem.ferrowick.shrinks1.rss', MB))} / {spread(series('mem.ferrowick.shrinks2.rss', MB))}",
    comparison=f"growth {spread(shrink_growth, 2)} MB")
row(f"RSS after {first} / {second} pastes (in-process driver), MB",
    f"{spread(series('mem.driver.pastes1.rss', MB))} / {spread(series('mem.driver.pastes2.rss', MB))}",
    comparison=f"growth {spread(paste_growth, 2)} MB")
target(f"no growth beyond 2 MB from {first} to {second} shrinks", shrink_growth, lambda v: v <= 2)
target(f"no growth beyond 2 MB from {first} to {second} pastes", paste_growth, lambda v: v <= 2)

# Before and after the cuts, when an older binary ran in the same runs.
before_rows = []
if series("start.before.painted"):
    def compare(title, metric, scale=1.0, digits=1):
        after = series(metric.replace("before", "ferrowick"), scale)
        older = series(metric, scale)
        ratio = per_run(lambda m: m[metric.replace("before", "ferrowick")] / m[metric])
        before_rows.append((title, spread(older, digits), spread(after, digits),
                            spread(ratio, 2, "×") if ratio else "–"))
    compare("Start-up: tray icon shown (first paint), ms", "start.before.painted")
    compare("Start-up: tray icon mapped in the tray, ms", "start.before.shown")
    compare("Start-up: \"launch:\" line, ms", "start.before.launch")
    compare("RSS after start, MB", "mem.before.start.rss", MB)
    compare("PSS after start, MB", "mem.before.start.pss", MB)
    compare("Idle: CPU time, ms", "idle.before.cpu_ms", digits=0)
    compare("Idle: wake-ups", "idle.before.wakeups", digits=0)

print(open(f"{out}/machine.txt").read().rstrip())
print(f"runs: {len(runs)}; each figure: median (min–max) over the runs")
print()
print("| Measure | Ferrowick | Minimal Qt tray | CopyQ | Comparison (within each run) |")
print("| --- | --- | --- | --- | --- |")
for name, ferrowick, minimal, copyq, comparison in rows:
    print(f"| {name} | {ferrowick} | {minimal or '–'} | {copyq or '–'} | {comparison} |")
print()
print("| Target | Result | Median |")
print("| --- | --- | --- |")
for verdict, description, value in verdicts:
    shown = f"{value:.3g}" if isinstance(value, float) else str(value)
    print(f"| {description} | {verdict} | {shown} |")

if before_rows:
    print()
    print("Before and after the cuts (the older binary started in the same runs; idle windows "
          "alternate between the two, so their ratio is across runs)")
    print()
    print("| Measure | Before | After | After / before |")
    print("| --- | --- | --- | --- |")
    for name, older, after, ratio in before_rows:
        print(f"| {name} | {older} | {after} | {ratio} |")
