#!/usr/bin/env python3
"""torvane-send replays a lap excerpt to the bridge, torvane-listen hears its reports.
Usage: tools_e2e.py LAP.jsonl BRIDGE SEND LISTEN [-- LAUNCHER...]"""
import json
import os
import re
import sys
import tempfile

from harness import REPORT, Bridge, Program, check, playing_rows, run_alone, run_once

OPENING_SECONDS = 3.0
GAIN = 0.1  # the bridge's default
REPORTS = 150  # what the listener waits for: 2.4 s of reports
TIME = re.compile(r'^\{"t":([0-9.]+),')


def lap_excerpt(lap_path):
    """The lap's first seconds, then the second from its first curb on."""
    with open(lap_path, encoding="utf-8") as f:
        lines = [line.strip() for line in f if line.strip()]
    times = [float(TIME.match(line).group(1)) for line in lines]
    curb = next(t for t, line in zip(times, lines) if json.loads(line).get("curb"))
    excerpt = [line for t, line in zip(times, lines) if t < OPENING_SECONDS]
    for t, line in zip(times, lines):
        if curb <= t < curb + 1.0:
            excerpt.append(TIME.sub('{"t":%.2f,' % (t - curb + OPENING_SECONDS), line))
    return excerpt


def constant(message):
    """The constant force the bridge plays for a lap message, in the trace's units."""
    return int(GAIN * min(max(message["aligningTorque"], -1.0), 1.0) * 10000.0)


def run(lap_path, bridge, send, listen, launcher):
    excerpt = lap_excerpt(lap_path)
    expected = {constant(json.loads(line)) for line in excerpt}
    handle, excerpt_path = tempfile.mkstemp(suffix=".jsonl")
    with os.fdopen(handle, "w", encoding="utf-8") as f:
        f.write("\n".join(excerpt) + "\n")
    try:
        program = Bridge(launcher + [bridge])
        program.wait_for_output("Bridge active.")
        listener = Program(launcher + [listen, "--count", str(REPORTS)])
        sent_code, sent, sent_err = run_once(launcher + [send], excerpt_path, seconds=90)
        listened = listener.finish(90)
        program.interrupt()
    finally:
        os.unlink(excerpt_path)
    check(sent_code == 0 and any(f" {len(excerpt)} sent" in line for line in sent),
          f"torvane-send: exit {sent_code}, {sent} {sent_err}")
    check(listened == 0 and len(listener.out) == REPORTS, f"listener: {listened}{listener.text()}")
    for report in listener.out:
        check(REPORT.fullmatch(report.encode()) is not None, f"listener line {report!r}")

    playing = playing_rows(program.trace())
    check(len(playing) >= 100, f"only {len(playing)} passes played the lap")
    played = [(row[1], row[2], row[6]) for row in playing]
    strays = [forces[0] for forces in played if forces[0] not in expected]
    check(not strays, f"played constant forces of no lap message: {strays[:5]}")
    constants = {forces[0] for forces in played}
    check(len(constants) >= 30, f"the constant force took only {len(constants)} values")
    check(all(forces[1] > 0 for forces in played), "a pass played no engine vibration")
    check(any(forces[2] > 0 for forces in played), "the curb was never played")


if __name__ == "__main__":
    if len(sys.argv) < 5 or (len(sys.argv) > 5 and sys.argv[5] != "--"):
        sys.exit(__doc__)
    sys.exit(run_alone("tools", run, *sys.argv[1:5], sys.argv[6:]))
