#!/usr/bin/env python3
"""Black-box tests of the shipped program: torvane-bridge on its virtual wheel, with real
sockets, real time and its trace file.

    e2e.py CASE [CASE...] -- [LAUNCHER...] PROGRAM

PROGRAM is the Linux binary, or the .exe with a launcher such as cmake/wine-run.sh PREFIX.
Each case starts the program, talks to it on 127.0.0.1:8766 and :8767, ends it, and checks its
exit code, its output and its trace. Prints one line per case and "N passed, N failed".
These are the program's observable behaviour; the unit suite keeps only pure logic and faults
that need an injected wheel.
"""
import os
import random
import re
import signal
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time

# No settings file of the user's may change what a case expects.
os.environ["XDG_CONFIG_HOME"] = tempfile.mkdtemp(prefix="torvane-e2e-config-")
TELEMETRY = ("127.0.0.1", 8766)
REPORT_PORT = 8767
WORKED_EXAMPLE = (b'{"aligningTorque":-0.42,"engineHz":61.5,"engineGain":0.3,"roadGain":0.12,'
                  b'"curbPulse":0.8,"speed":27.4,"verticalAccel":1.6,"curb":true}')
REPORT = re.compile(rb'\{"type":"raw-input","axes":\{"x":(-?\d+),"y":-?\d+,"z":-?\d+,"rx":-?\d+,'
                    rb'"ry":-?\d+,"rz":-?\d+,"slider0":-?\d+,"slider1":-?\d+\},'
                    rb'"buttons":\[(\d+(,\d+)*)?\]\}')
COLUMNS = ("time_ms,constant,engine_magnitude,engine_period_us,road_magnitude,road_period_us,"
           "curb_magnitude,curb_period_us,damper,playing,wheel_x,sent")


class Failure(Exception):
    """A case's check failed."""


def check(condition, message):
    if not condition:
        raise Failure(message)


class Bridge:
    """One run of the program: its output read as it comes, its trace read at the end."""
    running = []  # ended by main after each case, so a failed case leaves no port taken

    def __init__(self, command, *options, trace=True, console=None):
        self.native = len(command) == 1  # no launcher
        # The program's steady clock: Linux's monotonic one, or under Wine the raw one.
        self.clock = time.monotonic_ns if self.native else (
            lambda: time.clock_gettime_ns(time.CLOCK_MONOTONIC_RAW))
        self.trace_path = None
        arguments = list(options)
        if trace:
            handle, self.trace_path = tempfile.mkstemp(suffix=".csv")
            os.close(handle)
            arguments += ["--trace", self.trace_path]
        self.process = subprocess.Popen(command + ["--virtual-wheel"] + arguments,
                                        stdin=subprocess.DEVNULL, stdout=console or subprocess.PIPE,
                                        stderr=console or subprocess.PIPE)
        Bridge.running.append(self.process)
        self.out, self.err = [], []
        streams = ((self.process.stdout, self.out), (self.process.stderr, self.err))
        streams = [(stream, lines) for stream, lines in streams if stream is not None]
        self.readers = [threading.Thread(target=Bridge._read, args=pair, daemon=True)
                        for pair in streams]
        for reader in self.readers:
            reader.start()

    @staticmethod
    def _read(stream, lines):
        lines.extend(raw.decode("utf-8", "replace").rstrip("\r\n")
                     for raw in iter(stream.readline, b""))

    def wait_for_output(self, text, seconds=60):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            if any(text in line for line in self.out + self.err):
                return
            check(self.process.poll() is None,
                  f"ended with {self.process.returncode} before printing {text!r}: {self.text()}")
            time.sleep(0.02)
        raise Failure(f"no {text!r} within {seconds} s: {self.text()}")

    def finish(self, seconds=60):
        try:
            code = self.process.wait(timeout=seconds)
        except subprocess.TimeoutExpired:  # main ends it
            raise Failure(f"still running after {seconds} s: {self.text()}")
        for reader in self.readers:
            reader.join(5)
        return code

    def interrupt(self, stop=signal.SIGINT, seconds=60):
        """Ends the program as a user would: Ctrl+C, or on Linux itself also a closed terminal or
        a shutdown (under a launcher only Ctrl+C is the console's own), after which it ends with
        0 too. Returns how long it took."""
        start = time.monotonic()
        self.process.send_signal(stop if self.native else signal.SIGINT)
        code = self.finish(seconds)
        check(code == 0, f"exit code {code}{self.text()}")
        return time.monotonic() - start

    def text(self):
        return "\n--- out:\n" + "\n".join(self.out) + "\n--- err:\n" + "\n".join(self.err)

    def trace(self):
        with open(self.trace_path, encoding="ascii") as f:
            lines = f.read().splitlines()
        os.unlink(self.trace_path)
        header = re.fullmatch(r"# torvane-bridge \S.* trace, clock_start_ns=(\d+)", lines[0])
        check(header is not None, f"trace header: {lines[:1]}")
        self.clock_start_ns = int(header.group(1))
        check(lines[1] == COLUMNS, f"trace columns: {lines[1]}")
        rows = [line.split(",") for line in lines[2:]]
        check(all(len(r) == 12 for r in rows), "a trace line without 12 fields")
        return [[float(r[0])] + [int(v) if v else None for v in r[1:11]] + [r[11]] for r in rows]


class Peer:
    """The driving application's side: sends telemetry, receives raw-input reports."""

    def __init__(self):
        self.sender = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.listener = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.listener.bind(("127.0.0.1", REPORT_PORT))
        self.listener.settimeout(0.0)

    def send_for(self, seconds, clock=time.monotonic_ns, message=WORKED_EXAMPLE, interval=0.01):
        """Sends for that long; returns clock's reading after the last send."""
        end = time.monotonic() + seconds
        while time.monotonic() < end:
            self.sender.sendto(message, TELEMETRY)
            last = clock()
            time.sleep(interval)
        return last

    def reports(self):
        found = []
        while True:
            try:
                found.append(self.listener.recv(65536))
            except BlockingIOError:
                return found

    def __enter__(self):
        return self

    def __exit__(self, *_):
        self.sender.close()
        self.listener.close()


def playing_rows(rows):
    return [r for r in rows if r[9] == 1]


def run_once(command, *arguments, seconds=60):
    """The program run to its end: exit code, output lines, error lines."""
    done = subprocess.run(command + list(arguments), stdin=subprocess.DEVNULL,
                          capture_output=True, timeout=seconds)
    return (done.returncode, done.stdout.decode("utf-8", "replace").splitlines(),
            done.stderr.decode("utf-8", "replace").splitlines())


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
    # The default loop sends all five on every pass; "--low-latency" only the keep-alives (five
    # every 100 ms) once the values stand.
    low = "--low-latency" in options
    sends = sum(len(r[11]) for r in applied[1:])
    most = (applied[-1][0] - applied[0][0]) / 100 * 5 + 5 if low else (len(applied) - 1) * 5
    check(applied[0][11] == "cersd" and sends <= most and (low or sends == most),
          f"{sends} effect updates in {len(applied)} passes, expected at most {most}")
    check(rows[-1][9] == 0, f"the trace does not end stopped: {rows[-1]}")
    # It stops once the newest datagram is 100 ms old (within a few passes, generously for a
    # loaded machine), on the program's clock, which the trace's header ties to ours.
    sent = (last_sent - bridge.clock_start_ns) / 1e6
    stop = next((r[0] for r in rows if r[0] > sent and r[9] == 0), None)
    check(stop is not None and 99 <= stop - sent <= 250, f"stopped at {stop} ms, sent at {sent}")
    # The passes that read the wheel (wheel_x filled) are the report passes: every 16 ms.
    reads = [r[0] for r in applied if r[10] is not None]
    interval = statistics.median(b - a for a, b in zip(reads, reads[1:]))
    check(15.5 <= interval <= 24, f"reports every {interval} ms")
    matches = [REPORT.fullmatch(r) for r in reports]
    check(len(reports) >= 10 and all(matches), f"reports in 0.6 s: {reports!r}")
    xs = [int(m.group(1)) for m in matches]
    # An aligning torque of -0.42 pulls the rim to the negative side (inverted, the other).
    check(min(x * sign for x in xs) < -100, f"the rim did not turn its way: {xs[:5]}...")
    traced_x = [r[10] * sign for r in rows if r[10] is not None]
    check(traced_x and min(traced_x) < -100, f"the trace's wheel_x does not follow the rim")
    # Redirected, the monitor appends one line a second.
    monitor = [line for line in bridge.err if line.startswith("telemetry ")]
    check(1 <= len(monitor) <= 4, f"{len(monitor)} monitor lines{bridge.text()}")
    shown = re.compile(r"telemetry \d+/s age \d+ ms \| playing: constant %.1f%% engine 6.6%% road "
                       r"1.8%% curb 8.0%% damper 2.5%% \| x -?\d+ \| -?\d+\.\d\d Nm -?\d+\.\d deg"
                       % (-4.2 * sign))
    check(any(shown.fullmatch(line) for line in monitor), f"no monitor line playing{bridge.text()}")


def case_low_latency(command):
    case_worked_example(command, "--low-latency", "--invert", stop=signal.SIGTERM)


def full_pipe():
    """A pipe already full, that nobody reads: a write to it blocks."""
    read_end, write_end = os.pipe()
    os.set_blocking(write_end, False)
    try:
        while True:
            os.write(write_end, b"x" * 4096)
    except BlockingIOError:
        pass
    os.set_blocking(write_end, True)  # the flag belongs to the pipe, which the program shares
    return read_end, write_end


def case_stuck_console(command, gone=False):
    """The console takes no text from the first line on (both streams a full pipe, or one whose
    reader is gone): start-up and the loop must go on (on their 16 ms, with a stuck console),
    stop the effects on time and end on Ctrl+C within a second, the pipe still full."""
    read_end, write_end = full_pipe()
    if gone:
        os.close(read_end)
    try:
        with Peer() as peer:
            bridge = Bridge(command, "--monitor", "--gain", "0.3", console=write_end)
            deadline = time.monotonic() + 60
            while not peer.reports() and time.monotonic() < deadline:  # the loop runs
                time.sleep(0.02)
            last_sent = peer.send_for(2.0, bridge.clock)
            peer.reports()
            arrivals = []
            end = time.monotonic() + 1.0
            while time.monotonic() < end:
                arrivals += [time.monotonic() for _ in peer.reports()]
                time.sleep(0.002)
            stop_time = bridge.interrupt(seconds=10)
    finally:
        os.close(write_end)
        if not gone:
            os.close(read_end)
    check(stop_time < 1.5, f"Ctrl+C took {stop_time:.2f} s")
    gaps = [b - a for a, b in zip(arrivals, arrivals[1:])]
    check(gone or len(arrivals) > 40 and max(gaps) < 0.1,
          f"{len(arrivals)} reports in the second after the telemetry, largest gap "
          f"{max(gaps, default=0) * 1000:.0f} ms")
    rows = bridge.trace()
    last_apply = playing_rows(rows)[-1][0]
    stop = next((r[0] for r in rows if r[0] > last_apply and r[9] == 0), None)
    check(stop is not None, f"the effects were not stopped after {last_apply} ms")
    # Stale after 100 ms, stopped in the next pass (generously, for a loaded machine).
    stale = stop - (last_sent - bridge.clock_start_ns) / 1e6
    check(stale <= 150, f"stopped {stale:.1f} ms after the last datagram")
    print(f"{'gone' if gone else 'stuck'}_console: report gap median {sorted(gaps)[len(gaps) // 2] * 1000:.1f} ms, "
          f"max {max(gaps) * 1000:.1f} ms; effects stopped {stale:.1f} ms after the last "
          f"datagram; Ctrl+C to exit {stop_time * 1000:.0f} ms")


def case_gone_console(command):
    case_stuck_console(command, gone=True)


def case_session_end(command):
    """The session ends while the wheel plays: Windows tells the owner window (wineboot
    --end-session sends WM_QUERYENDSESSION and WM_ENDSESSION to every window, then ends the
    process), Linux sends SIGTERM. Either way the effects are stopped before the process ends."""
    wine = command[0].endswith("wine-run.sh")
    with Peer() as peer:
        bridge = Bridge(command)
        bridge.wait_for_output("Bridge active.")
        # Telemetry flows to the end, so only the program's stop can stop the effects.
        ended = threading.Event()

        def send():
            while not ended.wait(0.01):
                peer.sender.sendto(WORKED_EXAMPLE, TELEMETRY)
        sender = threading.Thread(target=send)
        sender.start()
        time.sleep(1.0)
        if wine:
            subprocess.run(command[:2] + ["wineboot", "--end-session"], timeout=60,
                           stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
        else:
            bridge.process.send_signal(signal.SIGTERM)
        try:
            code = bridge.finish(30)
        finally:
            ended.set()
            sender.join()
    # On Linux the program's own end; Windows may end the process after the clean stop.
    check(code == 0 or (wine and code == -signal.SIGTERM), f"exit code {code}{bridge.text()}")
    rows = bridge.trace()
    check(len(rows) > 2 and rows[-2][9] == 1 and rows[-1][9] == 0,
          f"the trace does not end with the stop of playing effects: {rows[-3:]}")


def case_tuned(command):
    """The tuning options' worked example: every value sent as the trace records it."""
    with Peer() as peer:
        bridge = Bridge(command, "--steering", "0.5", "--engine", "0", "--road", "2", "--curb",
                        "1.5", "--damper", "0.4", "--min-force", "0.03")
        bridge.wait_for_output("Bridge active. Gain=0.1")
        peer.send_for(0.5)
        bridge.interrupt()
    applied = playing_rows(bridge.trace())
    expected = [-300, 0, 16260, 352, 13890, 1200, 9585, 100]
    check(applied and all(r[1:9] == expected for r in applied),
          f"sent {applied[-1][1:9] if applied else None}, expected {expected}")


def case_smooth_step(command):
    """With --smooth 20 a step in the aligning torque arrives through intermediate values."""
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


def write_text(path, text):
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


def rewrite_often(path, text, peer):
    """An editor that empties the file, then writes it: every 2 ms for a second, with telemetry."""
    end = time.monotonic() + 1.0
    while time.monotonic() < end:
        write_text(path, text)
        peer.sender.sendto(WORKED_EXAMPLE, TELEMETRY)
        time.sleep(0.002)


def case_settings(command):
    """A settings file applies at start, and again once a rewrite has settled, naming and skipping
    an unknown key; a broken rewrite, one caught half-way or a directory in its place change
    nothing. A reload's line says what happened."""
    handle, path = tempfile.mkstemp(suffix=".toml")
    os.close(handle)
    tuning = "steering = 0.5\nengine = 0\ncurb = 1.5\ndamper = 0.4\nmin-force = 0.03\n"
    write_text(path, "gain = 0.2\nroad = 2\n" + tuning)
    newer = "gain = 0.1\nroad = 1\n" + tuning + "x" * 60000 + " = 1\n"  # a newer version's key
    stay = "Settings not reloaded, the settings in effect stay: " + path
    steps = [(lambda peer: write_text(path, newer),
              [f'{path}:8: unknown setting "{"x" * 40}..."; ignored.',
               f"Settings reloaded from {path}: gain 0.2 -> 0.1, road 2 -> 1"]),
             (lambda peer: rewrite_often(path, newer, peer), []),
             (lambda peer: write_text(path, "gain = 1\n"),
              [f"{stay}:1: gain must be a number from 0 to 0.35."]),
             (lambda peer: os.unlink(path) or os.mkdir(path), [f"{stay}: not a regular file."])]
    with Peer() as peer:
        bridge = Bridge(command, "--config", path, "--road", "5")  # not used: the file's road is
        bridge.wait_for_output("Bridge active.")
        peer.send_for(0.5)
        check(bridge.err[:1] == [f"Settings from {path}"], f"no settings line{bridge.text()}")
        for action, lines in steps:
            action(peer)
            peer.send_for(1.0)
            for line in lines:
                check(bridge.err.count(line) == 1, f"not one {line!r}{bridge.text()}")
        bridge.interrupt()
    os.rmdir(path)
    applied = [r[1:9] for r in playing_rows(bridge.trace())]
    # Each stretch's values, in order: the file's at start, then its rewrite's.
    seen = [v for i, v in enumerate(applied) if i == 0 or v != applied[i - 1]]
    expected = [[-420, 0, 16260, 704, 13890, 2400, 9585, 200], [-300, 0, 16260, 176, 13890, 1200, 9585, 100]]
    check(seen == expected, f"sent {seen}, expected {expected}")


def case_write_config(command):
    """--write-config writes the settings in effect, refuses to overwrite, and reads back."""
    folder = tempfile.mkdtemp()
    first, second = os.path.join(folder, "a.toml"), os.path.join(folder, "b.toml")

    def run(*arguments):
        result = subprocess.run(command + list(arguments), stdin=subprocess.DEVNULL,
                                capture_output=True, timeout=60)
        return result.returncode, result.stderr.decode("utf-8", "replace")

    code, _ = run("--gain", "0.2", "--smooth", "10", "--device", "My Wheel", "--wait",
                  "--write-config", first)
    check(code == 0 and os.path.exists(first), f"first write: {code}")
    code, err = run("--write-config", first)
    check(code == 1 and "not overwritten" in err, f"overwrote without --force: {code} {err}")
    code, _ = run("--config", first, "--write-config", second)
    with open(first, encoding="utf-8") as a, open(second, encoding="utf-8") as b:
        text = a.read()
        check(code == 0 and text == b.read(), "the file read back differs")
    for line in ("gain = 0.2", "smooth = 10", 'device = "my wheel"', "wait = true"):
        check(line in text.splitlines(), f"no {line!r} in the written file")
    code, err = run("--write-config", folder, "--force")
    check(code == 1 and err.splitlines() == [f"Could not write the settings to {folder}: it is a "
                                             "directory."], f"onto a directory: {code} {err}")


def case_never_hangs(command):
    """Nothing before the loop holds Ctrl+C up: --wait, and (a Linux thing) a FIFO as the settings
    file, named or in the default place, or as the trace, with or without a reader."""
    folder = tempfile.mkdtemp()
    fifo, trace = os.path.join(folder, "torvane-bridge", "config.toml"), os.path.join(folder, "t")
    os.mkdir(os.path.dirname(fifo))
    os.mkfifo(fifo)
    os.mkfifo(trace)
    read = []
    runs = [(["--wait", "--device-index", "5"], "Waiting for a force-feedback wheel...")]
    if len(command) == 1:
        runs += [(["--config", fifo], f"{fifo}: not a regular file; using the defaults."),
                 ([], f"{fifo}: not a regular file; using the defaults."),
                 (["--trace", trace], f"Could not open trace file {trace}."),
                 (["--trace", trace], "Bridge active.")]
    default_place, os.environ["XDG_CONFIG_HOME"] = os.environ["XDG_CONFIG_HOME"], folder
    try:
        for i, (arguments, line) in enumerate(runs):
            if i == 4:  # a live plotter, say
                reader = threading.Thread(target=lambda: read.append(open(trace, "rb").read()))
                reader.start()
            bridge = Bridge(command, *arguments, trace=False)
            bridge.wait_for_output(line)
            time.sleep(0.3)
            stop_time = bridge.interrupt(seconds=10)
            check(stop_time < 1.5, f"Ctrl+C after {line!r} took {stop_time:.2f} s")
    finally:
        os.environ["XDG_CONFIG_HOME"] = default_place
    if len(runs) > 1:
        reader.join(10)
        check(read and read[0].startswith(b"# torvane-bridge "), f"the FIFO's reader got {read}")


def case_no_wheel_ends_at_once(command):
    """A failed start-up with redirected input never waits for Enter."""
    start = time.monotonic()
    result = subprocess.run(command, stdin=subprocess.DEVNULL, capture_output=True, timeout=60)
    check(result.returncode == 3 and b"Press Enter" not in result.stderr,
          f"exit code {result.returncode}: {result.stderr!r}")
    check(time.monotonic() - start < 30, "took too long")


def case_warnings(command):
    """Mistakes on the command line are named on the error stream; the run goes on as before."""
    bridge = Bridge(command, "--virtual-whel", "--gain", "0,5", "--device", "Logitech",
                    trace=False)
    bridge.wait_for_output("Bridge active. Gain=0 ")
    bridge.interrupt()
    for line in ('Ignored unknown argument "--virtual-whel".',
                 'Ignored --gain "0,5": expected a number from 0 to 0.35; using 0 (no force).',
                 'No controller name contains "logitech"; using [0] Torvane Virtual Wheel.'):
        check(bridge.err.count(line) == 1, f"not one {line!r}{bridge.text()}")
    check("Selected: Torvane Virtual Wheel" in bridge.out, f"no selection{bridge.text()}")


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


def case_test_signal(command):
    start = time.monotonic()
    bridge = Bridge(command, "--test")
    check(bridge.finish(90) == 0, f"exit code{bridge.text()}")
    check(time.monotonic() - start >= 5.9, "the test signal ended early")
    rows = bridge.trace()
    check(len(playing_rows(rows)) > 100 and rows[-1][9] == 0, "too few test passes, or not stopped")


def case_diagnose(command):
    start = time.monotonic()
    bridge = Bridge(command, "--diagnose", trace=False)
    check(bridge.finish(90) == 0, f"exit code{bridge.text()}")
    check(time.monotonic() - start >= 19.5, "the capture ended before 20 s")
    check(re.fullmatch(r"torvane-bridge \S.* diagnose", bridge.out[0]) is not None and
          bridge.out[1:4] == ["Attached game controllers:", "  [0] Torvane Virtual Wheel FFB=1",
                              "Selected: Torvane Virtual Wheel"], f"the start{bridge.text()}")
    text = "\n".join(bridge.out)
    for part in ("  - Constant Force (type 0x", "Sine", "Square", "Damper", "20 seconds."):
        check(part in text, f"no {part!r} in the output{bridge.text()}")
    # The wheel at rest, axes ranged to +-10000 (pedals released read the top): printed once.
    states = [line for line in bridge.out if line.startswith('{"type":"raw-input"')]
    check(states == ['{"type":"raw-input","axes":{"x":0,"y":10000,"z":10000,"rx":0,"ry":0,"rz":0,'
                     '"slider0":0,"slider1":0},"buttons":[]}'], f"state lines{bridge.text()}")


def case_startup(command):
    """Answers that end the program before its loop, each with its exit code."""
    code, out, err = run_once(command, "--help", "--virtual-wheel")
    check(code == 0 and out[0].startswith("torvane-bridge ") and not err, f"--help: {code} {err}")
    for option in ("--gain NUMBER", "--low-latency", "--trace FILE", "(default: fanatec)"):
        check(any(option in line for line in out), f"--help does not show {option!r}")
    code, out, err = run_once(command, "--version")
    check(code == 0 and len(out) == 1 and re.fullmatch(r"torvane-bridge \d+\.\d+\.\d+( \(.+\))?",
                                                         out[0]), f"--version: {out} {err}")
    unavailable = "The requested DirectInput device index is unavailable or has no FFB support."
    for wheel in ([], ["--virtual-wheel"]):  # the system's controllers, then the virtual wheel
        code, out, err = run_once(command, *wheel, "--device-index", "99")
        check(code == 3 and err == [unavailable], f"index 99: {code} {err}")
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as squatter:
        squatter.bind(TELEMETRY)
        for mode in ([], ["--test"]):
            code, out, err = run_once(command, "--virtual-wheel", *mode)
            check(code == 7 and err == ["Could not bind telemetry UDP port 8766."],
                  f"port taken{mode}: {code} {err}")


CASES = {name[5:]: f for name, f in globals().items() if name.startswith("case_")}


def main(argv):
    if "--" not in argv:
        print(__doc__, file=sys.stderr)
        return 2
    split = argv.index("--")
    names, command = argv[1:split] or list(CASES), argv[split + 1:]
    failed = 0
    for name in names:
        try:
            CASES[name](command)
            print(f"{name}: ok")
        except Failure as failure:
            print(f"{name}: FAILED: {failure}")
            failed += 1
        for process in Bridge.running:
            if process.poll() is None:
                process.kill()
    print(f"{len(names) - failed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
