"""The black-box harness: a run of the program, the game's side, the trace, the cases' register."""
import os
import re
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time

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
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def parse_trace(lines):
    """(clock_start_ns, rows): a row is the time in ms, ten numbers or None, the sent letters."""
    header = re.fullmatch(r"# torvane-bridge \S.* trace, clock_start_ns=(\d+)", lines[0])
    check(header is not None, f"trace header: {lines[:1]}")
    check(lines[1] == COLUMNS, f"trace columns: {lines[1]}")
    rows = [line.split(",") for line in lines[2:]]
    check(all(len(r) == 12 for r in rows), "a trace line without 12 fields")
    return int(header.group(1)), [[float(r[0])] + [int(v) if v else None for v in r[1:11]] + [r[11]]
                                  for r in rows]


CASES = {}


def isolate_settings():
    """No settings file of the user's may change what a run expects."""
    os.environ["XDG_CONFIG_HOME"] = tempfile.mkdtemp(prefix="torvane-e2e-config-")


def case(function):
    """Registers a case under its name without "case_"."""
    CASES[function.__name__[5:]] = function
    return function


class Program:
    """A program whose output is read as it comes; main ends it after its case, so a failed case
    leaves no port taken."""
    running = []

    def __init__(self, command, console=None, native=True, stdin=subprocess.DEVNULL, **popen):
        self.native = native  # no launcher: a signal reaches the program itself
        self.process = subprocess.Popen(command, stdin=stdin, stdout=console or subprocess.PIPE,
                                        stderr=console or subprocess.PIPE, **popen)
        Program.running.append(self.process)
        self.out, self.err = [], []
        self.readers = [threading.Thread(target=Program._read, args=p, daemon=True)
                        for p in ((self.process.stdout, self.out), (self.process.stderr, self.err))
                        if p[0] is not None]
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
        """Expects exit 0 (under a launcher only Ctrl+C is the console's); returns the time."""
        start = time.monotonic()
        self.process.send_signal(stop if self.native else signal.SIGINT)
        code = self.finish(seconds)
        check(code == 0, f"exit code {code}{self.text()}")
        return time.monotonic() - start

    def text(self):
        return "\n--- out:\n" + "\n".join(self.out) + "\n--- err:\n" + "\n".join(self.err)


class Bridge(Program):
    """The program on its virtual wheel, tracing unless told."""

    def __init__(self, command, *options, trace=True, console=None):
        # The program's steady clock: under Wine the raw one.
        self.clock = time.monotonic_ns if len(command) == 1 else (
            lambda: time.clock_gettime_ns(time.CLOCK_MONOTONIC_RAW))
        self.trace_path = None
        arguments = list(options)
        if trace:
            handle, self.trace_path = tempfile.mkstemp(suffix=".csv")
            os.close(handle)
            arguments += ["--trace", self.trace_path]
        super().__init__(command + ["--virtual-wheel"] + arguments, console, len(command) == 1)

    def trace(self):
        with open(self.trace_path, encoding="ascii") as f:
            lines = f.read().splitlines()
        os.unlink(self.trace_path)
        self.clock_start_ns, rows = parse_trace(lines)
        return rows


class Peer:

    def __init__(self):
        self.sender = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.listener = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.listener.bind(("127.0.0.1", REPORT_PORT))
        self.listener.settimeout(0.0)

    def send_for(self, seconds, clock=time.monotonic_ns, message=WORKED_EXAMPLE, interval=0.01):
        """Returns clock's reading after the last send."""
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


class Sender(threading.Thread):
    """Sends every 10 ms until stopped, as a game does; a failed case's sender stops with it."""
    live = []

    def __init__(self, message=WORKED_EXAMPLE):
        super().__init__(daemon=True)
        self.message, self.running = message, True
        Sender.live.append(self)
        self.start()

    def run(self):
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as sender:
            while self.running:
                sender.sendto(self.message, TELEMETRY)
                time.sleep(0.01)

    def stop(self):
        self.running = False
        self.join()


def wait_for(condition, seconds=20, what=None):
    """Whether the condition holds within the time; if not and what is named, a failure."""
    end = time.monotonic() + seconds
    while not (held := condition()) and time.monotonic() < end:
        time.sleep(0.02)
    check(held or not what, f"no {what} within {seconds} s")
    return held


def playing_rows(rows):
    return [r for r in rows if r[9] == 1]


def run_once(command, *arguments, seconds=60):
    done = subprocess.run(command + list(arguments), stdin=subprocess.DEVNULL,
                          capture_output=True, timeout=seconds)
    return (done.returncode, done.stdout.decode("utf-8", "replace").splitlines(),
            done.stderr.decode("utf-8", "replace").splitlines())


def kill_running():
    # SIGTERM first: a launcher (timeout, under Wine) passes it on, while a SIGKILL would end
    # only the launcher and leave the program holding the ports for the next case.
    for process in Program.running:
        if process.poll() is None:
            process.terminate()
            try:
                process.wait(10)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
    Program.running.clear()
    for sender in Sender.live:
        sender.stop()
    Sender.live.clear()


def run_alone(name, function, *arguments):
    isolate_settings()
    try:
        function(*arguments)
    except (Failure, subprocess.TimeoutExpired, socket.timeout) as failure:
        print(f"{name}: FAILED: {failure}")
        return 1
    finally:
        kill_running()
    print(f"{name}: ok")
    return 0


def main(argv):
    if argv[1:] == ["--list"]:
        print(";".join(CASES))
        return 0
    if "--" not in argv:
        print(sys.modules["__main__"].__doc__, file=sys.stderr)
        return 2
    split = argv.index("--")
    names, command = argv[1:split] or list(CASES), argv[split + 1:]
    failed = sum(run_alone(name, CASES[name], command) for name in names)
    print(f"{len(names) - failed} passed, {failed} failed")
    return 1 if failed else 0
