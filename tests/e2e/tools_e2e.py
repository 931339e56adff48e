#!/usr/bin/env python3
"""The tools with the shipped program: torvane-send replays the sample lap's opening seconds and
its first curb to torvane-bridge on its virtual wheel, while torvane-listen receives the reports.

    tools_e2e.py LAP.jsonl BRIDGE SEND LISTEN [-- LAUNCHER...]

The three programs are the Linux binaries, or the .exe files with a launcher such as
cmake/wine-run.sh PREFIX. Checks that every pass the trace shows playing carries the forces of
one of the lap's messages, that those forces follow the lap, and that the listener printed
raw-input reports. Prints "tools: ok" or "tools: FAILED: why".
"""
import json
import os
import re
import signal
import subprocess
import sys
import tempfile

from harness import REPORT, Bridge, Failure, check, isolate_settings

OPENING_SECONDS = 3.0
GAIN = 0.1  # the bridge's default
REPORTS = 150  # what the listener waits for: 2.4 s of reports
TIME = re.compile(r'^\{"t":([0-9.]+),')


def lap_excerpt(lap_path):
    """The lap's first seconds, then the second from its first curb on, timed to follow them."""
    with open(lap_path, encoding="utf-8") as f:
        lines = [line.strip() for line in f if line.strip()]
    times = [float(TIME.match(line).group(1)) for line in lines]
    curb = next(t for t, line in zip(times, lines) if json.loads(line).get("curb"))
    excerpt = [line for t, line in zip(times, lines) if t < OPENING_SECONDS]
    for t, line in zip(times, lines):
        if curb <= t < curb + 1.0:
            excerpt.append(TIME.sub('{"t":%.2f,' % (t - curb + OPENING_SECONDS), line))
    return excerpt


def units(fraction, low, high):
    """What the bridge sends for a fraction of full scale: limited, scaled, truncated."""
    return int(min(max(fraction, low), high) * 10000.0)


def expected_forces(message):
    """The constant force and the engine and curb strengths one message plays at GAIN."""
    curb = GAIN * min(max(abs(message["curbPulse"]), 0.1), 1.0) if message["curb"] else 0.0
    return (units(GAIN * min(max(message["aligningTorque"], -1.0), 1.0), -1.0, 1.0),
            units(GAIN * min(max(message["engineGain"] * 2.2, 0.0), 1.0), 0.0, 1.0),
            units(curb, 0.0, 1.0))


def run(lap_path, bridge, send, listen, launcher):
    excerpt = lap_excerpt(lap_path)
    expected = {expected_forces(json.loads(line)) for line in excerpt}
    handle, excerpt_path = tempfile.mkstemp(suffix=".jsonl")
    with os.fdopen(handle, "w", encoding="utf-8") as f:
        f.write("\n".join(excerpt) + "\n")
    program = listener = None
    try:
        program = Bridge(launcher + [bridge])
        program.wait_for_output("Bridge active.")
        listener = subprocess.Popen(launcher + [listen, "--count", str(REPORTS)],
                                    stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                    stderr=subprocess.PIPE)
        sender = subprocess.run(launcher + [send, excerpt_path], stdin=subprocess.DEVNULL,
                                capture_output=True, timeout=90)
        heard, listener_err = listener.communicate(timeout=90)
        program.process.send_signal(signal.SIGINT)
        code = program.finish()
    finally:
        os.unlink(excerpt_path)
        for process in (listener, program and program.process):
            if process is not None and process.poll() is None:
                process.kill()
    check(sender.returncode == 0 and f" {len(excerpt)} sent".encode() in sender.stdout,
          f"torvane-send: exit {sender.returncode}, {sender.stdout!r} {sender.stderr!r}")
    check(listener.returncode == 0, f"torvane-listen: exit {listener.returncode} {listener_err!r}")
    reports = heard.splitlines()
    check(len(reports) == REPORTS, f"torvane-listen printed {len(reports)} lines")
    for report in reports:
        check(REPORT.fullmatch(report.rstrip(b"\r")) is not None, f"listener line {report!r}")
    check(code == 0, f"bridge exit code {code}{program.text()}")

    playing = [row for row in program.trace() if row[9] == 1]
    check(len(playing) >= 100, f"only {len(playing)} passes played the lap")
    played = [(row[1], row[2], row[6]) for row in playing]
    strays = [forces for forces in played if forces not in expected]
    check(not strays, f"played forces of no lap message: {strays[:5]}")
    constants = {forces[0] for forces in played}
    check(len(constants) >= 30, f"the constant force took only {len(constants)} values")
    check(all(forces[1] > 0 for forces in played), "a pass played no engine vibration")
    check(any(forces[2] > 0 for forces in played), "the curb was never played")


def main(argv):
    isolate_settings()
    if len(argv) < 5 or (len(argv) > 5 and argv[5] != "--"):
        print(__doc__, file=sys.stderr)
        return 2
    try:
        run(*argv[1:5], argv[6:])
    except (Failure, subprocess.TimeoutExpired) as failure:
        print(f"tools: FAILED: {failure}")
        return 1
    print("tools: ok")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
