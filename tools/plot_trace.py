#!/usr/bin/env python3
"""Draws a torvane-bridge trace (the CSV that "torvane-bridge --trace FILE" writes) as one PNG.

Usage: plot_trace.py TRACE.csv [PICTURE.png]    (default: the trace's name with .png)
       plot_trace.py --overlay TRACE.csv OTHER.csv PICTURE.png

Four panels against time: the aligning-torque force (the constant force), the strengths of the
engine, road and curb vibrations, the damper coefficient, and the rim's X axis, all in
DirectInput units; shaded where the effects were stopped. With --overlay, the constant force of
two traces of the same telemetry (say, without and with "--smooth") in one panel over the whole
run and in one over the half second around the first trace's largest step, each labelled with its
file name. Needs matplotlib (Debian: python3-matplotlib).
"""
import os
import csv
import math
import sys

import matplotlib

matplotlib.use("Agg")  # no display needed
import matplotlib.pyplot as plt  # noqa: E402

COLUMNS = ("time_ms", "constant", "engine_magnitude", "road_magnitude", "curb_magnitude",
           "damper", "playing", "wheel_x")


def read_trace(path):
    """The trace's title line and its columns as lists of floats (NaN where a value is empty)."""
    with open(path, newline="", encoding="utf-8", errors="replace") as file:
        lines = file.readlines()
    comments = [line for line in lines if line.startswith("#")]
    title = comments[0].lstrip("# ").strip() if comments else ""
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
    title, c = read_trace(trace_path)
    seconds = [t / 1000.0 for t in c["time_ms"]]
    figure, axes = plt.subplots(4, 1, sharex=True, figsize=(11, 8), constrained_layout=True)
    force, vibrations, damper, rim = axes

    force.plot(seconds, c["constant"], color="tab:blue", linewidth=1)
    force.axhline(0, color="grey", linewidth=0.5)
    force.set_ylabel("aligning torque\n(constant force)")
    for name, color in (("engine_magnitude", "tab:orange"), ("road_magnitude", "tab:green"),
                        ("curb_magnitude", "tab:red")):
        vibrations.plot(seconds, c[name], color=color, linewidth=1, label=name.split("_")[0])
    vibrations.set_ylabel("vibration\nstrength")
    vibrations.legend(loc="upper right", fontsize="small", ncol=3)
    damper.plot(seconds, c["damper"], color="tab:purple", linewidth=1)
    damper.set_ylim(0, 900)  # the most the bridge sends is 875, at gain 0.35
    damper.set_ylabel("damper\ncoefficient")
    # The rim is read every 16 ms, not on every pass: join the readings.
    readings = [(s, x) for s, x in zip(seconds, c["wheel_x"]) if not math.isnan(x)]
    rim.plot([s for s, _ in readings], [x for _, x in readings], color="black", linewidth=1)
    # At the usual gains the rim turns a small part of its range: scale to what it did.
    reach = max([abs(x) for _, x in readings] + [500.0]) * 1.15
    rim.set_ylim(-reach, reach)
    rim.set_ylabel("rim X axis")
    rim.set_xlabel("time (s)")

    for start, end in stopped_spans(seconds, c["playing"]):
        for panel in axes:
            panel.axvspan(start, end, color="grey", alpha=0.2, linewidth=0)
    axes[0].set_title((title + "\n" if title else "") + "shaded: effects stopped", fontsize="medium")
    for panel in axes:
        panel.grid(True, linewidth=0.3)
    figure.savefig(picture_path, dpi=100)
    plt.close(figure)


def overlay(trace_path, other_path, picture_path):
    traces = []
    for path in (trace_path, other_path):
        _, c = read_trace(path)
        # Only what was sent: a stop has no force to show.
        points = [(t / 1000.0, f) for t, f in zip(c["time_ms"], c["constant"]) if not math.isnan(f)]
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
        panel.set_ylabel("DirectInput units")
        panel.grid(True, linewidth=0.3)
        panel.legend(loc="best", fontsize="small")
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
