"""The forces: the worked example, smoothing, hostile telemetry and the test signal."""
import random
import re
import signal
import statistics
import time

from harness import TELEMETRY, REPORT, check, case, Bridge, Peer, playing_rows


@case
def case_worked_example(command, *options, stop=signal.SIGINT):
    sign = -1 if "--invert" in options else 1
    with Peer() as peer:
        bridge = Bridge(command, "--monitor", *options)
        bridge.wait_for_output("Bridge active. Gain=0.1")
        peer.reports()
        last_sent = peer.send_for(1.5, bridge.clock)
        time.sleep(0.6)
        reports = peer.reports()
        bridge.interrupt(stop)
    rows = bridge.trace()
    applied = playing_rows(rows)
    check(applied, "no pass applied telemetry")
    expected = [-420 * sign, 660, 16260, 176, 13890, 800, 9585, 250]
    check(applied[-1][1:9] == expected, f"sent {applied[-1][1:9]}, expected {expected}")
    check(all(r[1:9] == expected for r in applied[5:]), "the parameters changed while steady")
    # All five every pass; "--low-latency" only keep-alives (five per 100 ms) once values stand.
    low = "--low-latency" in options
    sends = sum(len(r[11]) for r in applied[1:])
    most = (applied[-1][0] - applied[0][0]) / 100 * 5 + 5 if low else (len(applied) - 1) * 5
    check(applied[0][11] == "cersd" and sends <= most and (low or sends == most),
          f"{sends} effect updates in {len(applied)} passes, expected at most {most}")
    check(rows[-1][9] == 0, f"the trace does not end stopped: {rows[-1]}")
    # Stopped once the newest datagram is 100 ms old, on the program's clock (the trace header's).
    sent = (last_sent - bridge.clock_start_ns) / 1e6
    stop = next((r[0] for r in rows if r[0] > sent and r[9] == 0), None)
    check(stop is not None and 99 <= stop - sent <= 250, f"stopped at {stop} ms, sent at {sent}")
    # Passes that read the wheel (wheel_x filled) report: every 16 ms.
    reads = [r[0] for r in applied if r[10] is not None]
    interval = statistics.median(b - a for a, b in zip(reads, reads[1:]))
    check(15.5 <= interval <= 24, f"reports every {interval} ms")
    matches = [REPORT.fullmatch(r) for r in reports]
    check(len(reports) >= 10 and all(matches), f"reports in 0.6 s: {reports!r}")
    xs = [int(m.group(1)) for m in matches]
    check(min(x * sign for x in xs) < -100, f"the rim did not turn its way: {xs[:5]}...")
    traced_x = [r[10] * sign for r in rows if r[10] is not None]
    check(traced_x and min(traced_x) < -100, "the trace's wheel_x does not follow the rim")
    monitor = [line for line in bridge.err if line.startswith("telemetry ")]
    check(1 <= len(monitor) <= 4, f"{len(monitor)} monitor lines{bridge.text()}")
    shown = re.compile(r"telemetry \d+/s age \d+ ms \| playing: constant %.1f%% engine 6.6%% road "
                       r"1.8%% curb 8.0%% damper 2.5%% \| x -?\d+ \| -?\d+\.\d\d Nm -?\d+\.\d deg"
                       % (-4.2 * sign))
    check(any(shown.fullmatch(line) for line in monitor), f"no monitor line playing{bridge.text()}")


@case
def case_low_latency(command):
    case_worked_example(command, "--low-latency", "--invert", stop=signal.SIGTERM)


@case
def case_smooth_step(command):
    with Peer() as peer:
        bridge = Bridge(command, "--smooth", "20")
        bridge.wait_for_output("Bridge active.")
        peer.send_for(0.3, message=b'{"aligningTorque":0}')
        peer.send_for(1.5, message=b'{"aligningTorque":-0.9}')
        bridge.interrupt()
    forces = [r[1] for r in playing_rows(bridge.trace())]
    between = [f for f in forces if -900 < f < 0]
    check(forces and forces[-1] == -900, f"did not reach -900: {forces[-5:]}")
    check(len(set(between)) >= 3 and between == sorted(between, reverse=True),
          f"the step was not smooth: {between}")


@case
def case_hostile(command):
    rng = random.Random(8766)
    hostile = [bytes(rng.getrandbits(8) for _ in range(rng.randrange(1, 600))) for _ in range(200)]
    hostile += [b"{" + b'"aligningTorque":' + b"9" * 8000 + b"}",  # near the size limit
                b" " * 9000,  # oversized
                b'{"aligningTorque":1e999,"engineHz":-1e999,"engineGain":NaN,"speed":Infinity}',
                b'{"aligningTorque":5,"engineGain":7,"roadGain":9,"curbPulse":-8,"curb":true,'
                b'"offroad":true,"verticalAccel":1e300,"speed":1e300,"engineHz":1e300}',
                b"\x00" * 100]
    with Peer() as peer:
        bridge = Bridge(command, "--gain", "7")
        bridge.wait_for_output("Bridge active. Gain=0.35 (hard maximum 0.35)")
        for burst in range(3):
            for message in hostile:
                peer.sender.sendto(message, TELEMETRY)
            time.sleep(0.05)
        time.sleep(0.3)
        check(bridge.process.poll() is None, f"the bridge ended{bridge.text()}")
        check(len(peer.reports()) > 0, "no reports during the burst")
        bridge.interrupt(signal.SIGHUP)
    limits = [(-3500, 3500), (0, 3500), (5555, 125000), (0, 3500), (5555, 125000), (0, 3500),
              (5555, 125000), (0, 875)]
    for row in playing_rows(bridge.trace()):
        check(all(low <= v <= high for v, (low, high) in zip(row[1:9], limits)), f"traced {row}")


@case
def case_test_signal(command):
    start = time.monotonic()
    bridge = Bridge(command, "--test")
    check(bridge.finish(90) == 0, f"exit code{bridge.text()}")
    check(time.monotonic() - start >= 5.9, "the test signal ended early")
    rows = bridge.trace()
    check(len(playing_rows(rows)) > 100 and rows[-1][9] == 0, "too few test passes, or not stopped")
