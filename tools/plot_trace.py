#!/usr/bin/env python3
"""Draws a torvane-bridge trace (the CSV that "torvane-bridge --trace FILE" writes) as one PNG.

Usage: plot_trace.py TRACE.csv [PICTURE.png]    (default: the trace's name with .png)
       plot_trace.py --overlay TRACE.csv OTHER.csv PICTURE.png

Four panels against time: the aligning-torque force (the constant force), the strengths of the
engine, road and curb vibrations and the damper, in percent of the wheel's full scale (on the
virtual wheel 100 % is 8 N·m), and the rim's angle in degrees (the X axis's ends taken as the
virtual wheel's end stops at ±450°); shaded where the effects were stopped. With --overlay, the
constant force of two traces of the same telemetry (say, without and with "--smooth") in one
panel over the whole run and in one over the half second around the first trace's largest step,
each labelled with its file name. Needs matplotlib (Debian: python3-matplotlib).
"""
import os
import csv
import math
import re
import sys

COLUMNS = ("time_ms", "constant", "engine_magnitude", "road_magnitude", "curb_magnitude",
           "damper", "playing", "wheel_x")
FULL_SCALE = 10000.0  # DirectInput's units at full scale, for forces and axes alike
LOCK_DEGREES = 450.0  # the virtual wheel's end stops, where its X axis reads +-10000
FORCE_LABEL = "% of full scale\n(virtual wheel: 100 % = 8 N·m)"



def load_matplotlib():
    """pyplot, drawing without a display; exits with a line saying what to install if missing."""
    try:
        import matplotlib
    except ImportError:
        sys.exit("plot_trace: needs matplotlib: install python3-matplotlib "
                 "(sudo apt-get install python3-matplotlib) or pip install matplotlib")
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    return plt


def percent(values):
    return [v * 100.0 / FULL_SCALE for v in values]


def outside_legend(panel):
    """The legend right of the panel, where it hides no curve."""
    panel.legend(loc="upper left", bbox_to_anchor=(1.005, 1.0), fontsize="small", borderaxespad=0)


def read_trace(path):
    """The trace's title line and its columns as lists of floats (NaN where a value is empty)."""
    with open(path, newline="", encoding="utf-8", errors="replace") as file:
        lines = file.readlines()
    comments = [line for line in lines if line.startswith("#")]
    title = comments[0].lstrip("# ").strip() if comments else ""
    # The loop's start on the monotonic clock lines traces up with other logs; to a reader of the
    # picture it is noise.
    title = re.sub(r",?\s*clock_start_ns=\S*", "", title)
    # So is the checkout's description after the version, such as "(v0.2.0-3-gabc1234)".
    title = re.sub(r"\s*\([^)]*\)", "", title)
    columns = {name: [] for name in COLUMNS}
    rows = csv.reader(line for line in lines if not line.startswith("#"))
    header = next(rows, None)
    if header is None or any(name not in header for name in COLUMNS):
        raise ValueError(f"{path}: not a torvane-bridge trace (header {header})")
    index = {name: header.index(name) for name in COLUMNS}
    for row in rows:
        for name, at in index.items():
            try:
                value = float(row[at]) if at < len(row) and row[at].strip() else math.nan
            except ValueError:
                value = math.nan
            columns[name].append(value)
    return title, columns


def stopped_spans(times, playing):
    """(start, end) time pairs in which the effects were stopped (playing 0). The loop starts
    with them stopped: nothing is played before the first traced pass."""
    spans, start = [], 0.0
    for time, state in zip(times, playing):
        if state == 0 and start is None:
            start = time
        elif state == 1 and start is not None:
            spans.append((start, time))
            start = None
    if start is not None and times:
        spans.append((start, times[-1]))
    return spans


def plot(trace_path, picture_path):
    plt = load_matplotlib()
    title, c = read_trace(trace_path)
    seconds = [t / 1000.0 for t in c["time_ms"]]
    figure, axes = plt.subplots(4, 1, sharex=True, figsize=(11, 8), constrained_layout=True)
    force, vibrations, damper, rim = axes

    force.plot(seconds, percent(c["constant"]), color="tab:blue", linewidth=1)
    force.axhline(0, color="grey", linewidth=0.5)
    force.set_ylabel("aligning torque,\n" + FORCE_LABEL)
    for name, color in (("engine_magnitude", "tab:orange"), ("road_magnitude", "tab:green"),
                        ("curb_magnitude", "tab:red")):
        vibrations.plot(seconds, percent(c[name]), color=color, linewidth=1,
                        label=name.split("_")[0])
    vibrations.set_ylabel("vibrations,\n% of full scale")
    outside_legend(vibrations)
    damper.plot(seconds, percent(c["damper"]), color="tab:purple", linewidth=1)
    damper.set_ylim(0, 9)  # the most the bridge sends is 8.75 %, at gain 0.35
    damper.set_ylabel("damper,\n% of full scale")
    # The rim is read every 16 ms, not on every pass: join the readings.
    readings = [(s, x * LOCK_DEGREES / FULL_SCALE) for s, x in zip(seconds, c["wheel_x"])
                if not math.isnan(x)]
    rim.plot([s for s, _ in readings], [x for _, x in readings], color="black", linewidth=1)
    # At the usual gains the rim turns a small part of its range: scale to what it did.
    reach = max([abs(x) for _, x in readings] + [20.0]) * 1.15
    rim.set_ylim(-reach, reach)
    rim.set_ylabel("rim angle, degrees\n(X axis; ±450° at its ends)")
    rim.set_xlabel("time (s)")

    for start, end in stopped_spans(seconds, c["playing"]):
        for panel in axes:
            panel.axvspan(start, end, color="grey", alpha=0.2, linewidth=0)
    name = os.path.basename(trace_path)
    axes[0].set_title(f"{name}" + (f" ({title})" if title else "") +
                      "; shaded: effects stopped", fontsize="medium")
    for panel in axes:
        panel.grid(True, linewidth=0.3)
    figure.savefig(picture_path, dpi=100)
    plt.close(figure)


def overlay(trace_path, other_path, picture_path):
    plt = load_matplotlib()
    traces = []
    for path in (trace_path, other_path):
        _, c = read_trace(path)
        # Only what was sent: a stop has no force to show.
        points = [(t / 1000.0, f * 100.0 / FULL_SCALE) for t, f in zip(c["time_ms"], c["constant"])
                  if not math.isnan(f)]
        if not points:
            raise ValueError(f"{path}: no constant force was sent")
        traces.append((os.path.splitext(os.path.basename(path))[0], points))
    # The largest change between two passes of the first trace: where steps are felt most.
    first = traces[0][1]
    steps = [(abs(b[1] - a[1]), b[0]) for a, b in zip(first, first[1:])] or [(0, first[0][0])]
    centre = max(steps)[1]
    figure, (whole, close) = plt.subplots(2, 1, figsize=(11, 6), constrained_layout=True)
    for (label, points), color, width in zip(traces, ("tab:blue", "tab:red"), (1.5, 1)):
        seconds = [t for t, _ in points]
        forces = [f for _, f in points]
        whole.plot(seconds, forces, color=color, linewidth=width, label=label)
        near = [(t, f) for t, f in points if abs(t - centre) <= 0.25]
        close.plot([t for t, _ in near], [f for _, f in near], color=color, linewidth=width,
                   marker=".", markersize=3, label=label)
    whole.set_title("constant force (aligning torque) as sent", fontsize="medium")
    close.set_title(f"the half second around {centre:.2f} s", fontsize="medium")
    for panel in (whole, close):
        panel.axhline(0, color="grey", linewidth=0.5)
        panel.set_ylabel(FORCE_LABEL)
        panel.grid(True, linewidth=0.3)
        outside_legend(panel)
    close.set_xlabel("time (s)")
    figure.savefig(picture_path, dpi=100)
    plt.close(figure)


def main(arguments):
    if arguments[:1] in (["-h"], ["--help"]):
        print(__doc__.strip())
        return 0
    overlaid = arguments[:1] == ["--overlay"]
    if (overlaid and len(arguments) != 4) or (not overlaid and len(arguments) not in (1, 2)):
        print(__doc__.strip(), file=sys.stderr)
        return 2
    if overlaid:
        picture = arguments[3]
    else:
        trace = arguments[0]
        picture = arguments[1] if len(arguments) == 2 else trace.rsplit(".", 1)[0] + ".png"
    try:
        if overlaid:
            overlay(*arguments[1:])
        else:
            plot(trace, picture)
    except (OSError, ValueError) as error:
        print(f"plot_trace: {error}", file=sys.stderr)
        return 1
    print(f"plot_trace: wrote {picture}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
