"""End-to-end benchmark of the shipped program: the default loop and --low-latency side by side.

    e2e_bench.py --program build/linux-release/torvane-bridge
    e2e_bench.py --wine build/windows/torvane-bridge.exe
    e2e_bench.py --program ... --wine ... --seconds 10 --idle-seconds 5 --load 4
    e2e_bench.py --program ... --columns root,root-page --rounds 4 --seconds 30 --idle-seconds 2

For each binary it runs three columns: the default loop; --low-latency as an unprivileged user
(--user, default nobody), who gets no raised priority; and --low-latency as root, which gets
real-time priority. Under Wine the user column is left out. With --load N each column runs again
beside N busy processes (a game's threads; two per core is the usual figure). Each run starts the
program on its virtual wheel with a trace, leaves it idle (no telemetry), sends tagged telemetry
at 60 Hz, 250 Hz and 1 kHz, then the worked example unchanged at 250 Hz and the first seconds of
the sample lap, ends it with Ctrl+C and prints, per phase and side by side:

- latency: from the moment a datagram is handed to the socket to the time stamp of the first pass
  that plays it or a newer one (a pass takes its time stamp, then reads the socket and calls
  SetParameters). Every datagram carries its own aligningTorque, so the trace's `constant` column
  tells which datagram a pass played; the trace's clock_start_ns relates its times to this host's
  clock: CLOCK_MONOTONIC for the Linux binary, CLOCK_MONOTONIC_RAW under Wine, where the program's
  steady clock is the performance counter. The run checks that relation and prints it. A pass
  held up between its time stamp and its read gives a negative latency: the "min" row shows it.
  The sender keeps its datagrams at least half a period apart even when it runs late, and reads
  its clock and sends at SCHED_FIFO 20, so that a load cannot come between the two.
- effect calls per second: the effects each pass handed to the wheel (the trace's sent column).
- report interval: the gaps between the raw-input datagrams arriving on 127.0.0.1:8767, as the
  kernel time-stamps them.
- passes per second while telemetry plays (trace lines), and wake-ups per second when idle (the
  program's voluntary context switches; under Wine several per wait, through the Wine server).
- CPU time in % of one core (the kernel's run time of every thread of the program, in ns from
  schedstat: the figure behind /proc/PID/stat's utime+stime, without its 10 ms ticks; under Wine
  the Wine server and Wine's other processes separately).
- the priority the program said it got, and the machine's load (/proc/loadavg) before and after
  each binary.

With --page, two more columns run the default loop and --low-latency (as root) with "--page" and
one headless Chromium showing the page (Debian's chromium, chromium-driver and python3-selenium:
run the script with /usr/bin/python3); the browser's own CPU time is not the program's: it has
a row of its own.
--columns picks columns (root,root-page compares --low-latency with and without the page);
--rounds N runs them N times in turn and pools each column's rounds, and then prints each page
column's latency against the same column without the page, pooled and round by round.

Each program run gets its own network namespace (`unshare -n`, so the fixed ports never meet
another program's; needs root) and, under Wine, its own Wine server started inside it.
Python 3 standard library only; run by hand, not by CTest.
"""
import argparse
import json
import os
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
# The black-box suite's worked example and trace reader, so both read the program alike.
sys.path.insert(0, os.path.join(REPO, "tests", "e2e"))
from harness import WORKED_EXAMPLE, parse_trace as read_trace  # noqa: E402
TELEMETRY = ("127.0.0.1", 8766)
REPORTS = ("127.0.0.1", 8767)
RATES = (60, 250, 1000)
UNCHANGED_RATE = 250  # the worked example, the same datagram every time
LAP = os.path.join(REPO, "samples", "lap.jsonl")
# (column, options, as the unprivileged user): the default loop; --low-latency as a user who may
# not raise its priority (it gets none: "without"); --low-latency as root (real-time priority).
MODES = {"default": ("default loop", [], False),
         "user": ("--low-latency, user", ["--low-latency"], True),
         "root": ("--low-latency, root", ["--low-latency"], False),
         "page": ("default loop, page", ["--page"], False),
         "root-page": ("--low-latency, root, page", ["--low-latency", "--page"], False)}
# A column with the page and the one without it that it is compared with.
PAIRS = (("page", "default"), ("root-page", "root"))
SO_TIMESTAMPNS = getattr(socket, "SO_TIMESTAMPNS", 35)  # Linux; Python names it only lately

# Tags: at the default gain of 0.1 the constant force is trunc(aligningTorque * 1000). A torque
# half a unit away from zero beyond each tag maps back to it whatever the rounding, and leaving
# out 0 (where -0.0005 and 0.0005 would meet) makes the mapping one-to-one: 1998 tags in a cycle.
TAGS = [-t for t in range(1, 1000)] + list(range(1, 1000))
TAG_INDEX = {tag: i for i, tag in enumerate(TAGS)}


def datagram(tag):
    torque = (abs(tag) + 0.5) / 1000.0 * (1 if tag > 0 else -1)
    return (b'{"aligningTorque":%.4f,"engineHz":61.5,"engineGain":0.3,"roadGain":0.12,'
            b'"curbPulse":0.8,"speed":27.4,"verticalAccel":1.6,"curb":true}' % torque)


DATAGRAMS = [datagram(tag) for tag in TAGS]


def lap_datagrams():
    """The sample lap as (t in s, datagram)."""
    found = []
    with open(LAP, "rb") as f:
        for line in f:
            line = line.strip()
            if line:
                found.append((json.loads(line)["t"], line))
    return found


# ---------------------------------------------------------------------------------------------
# One program run, inside its own network namespace: prints its raw figures as one JSON line.
# ---------------------------------------------------------------------------------------------

def cpu_ns(pid):
    """CPU time of every thread of pid in ns (schedstat), or from utime+stime (clock ticks)."""
    total = 0
    try:
        for task in os.listdir(f"/proc/{pid}/task"):
            try:
                with open(f"/proc/{pid}/task/{task}/schedstat") as f:
                    total += int(f.read().split()[0])
            except (OSError, IndexError, ValueError):
                pass
        if total:
            return total
        with open(f"/proc/{pid}/stat") as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) * 1_000_000_000 // os.sysconf("SC_CLK_TCK")
    except OSError:
        return 0


def voluntary_switches(pid):
    total = 0
    try:
        for task in os.listdir(f"/proc/{pid}/task"):
            try:
                with open(f"/proc/{pid}/task/{task}/status") as f:
                    for line in f:
                        if line.startswith("voluntary_ctxt_switches:"):
                            total += int(line.split()[1])
            except OSError:
                pass
    except OSError:
        pass
    return total


def children_of(pid):
    found = []
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                with open(f"/proc/{entry}/stat") as f:
                    if int(f.read().rsplit(")", 1)[1].split()[1]) == pid:
                        found.append(int(entry))
            except OSError:
                pass
    return found


def descendants(pid):
    found, todo = [], [pid]
    while todo:
        for child in children_of(todo.pop()):
            found.append(child)
            todo.append(child)
    return found


def comm(pid):
    try:
        with open(f"/proc/{pid}/comm") as f:
            return f.read().strip()
    except OSError:
        return ""


def wine_processes(program_pid):
    """The Wine server and Wine's other processes: everything else in this network namespace."""
    own = os.readlink("/proc/self/ns/net")
    mine = {os.getpid(), program_pid}
    server, others = [], []
    for entry in os.listdir("/proc"):
        if not entry.isdigit() or int(entry) in mine:
            continue
        try:
            if os.readlink(f"/proc/{entry}/ns/net") != own:
                continue
            exe = os.readlink(f"/proc/{entry}/exe")
        except OSError:
            continue
        if "wine" not in exe:
            continue
        (server if comm(int(entry)).startswith("wineserver") else others).append(int(entry))
    return server, others


class ReportListener:
    """Receives the raw-input reports and keeps the kernel's arrival time stamps (CLOCK_REALTIME
    ns: only their differences are used)."""

    def __init__(self):
        self.socket = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.socket.setsockopt(socket.SOL_SOCKET, SO_TIMESTAMPNS, 1)
        self.socket.bind(REPORTS)
        self.socket.settimeout(0.2)
        self.arrivals = []
        self.running = True
        self.thread = threading.Thread(target=self._run, daemon=True)
        self.thread.start()

    def _run(self):
        space = socket.CMSG_SPACE(16)
        while self.running:
            try:
                _, ancillary, _, _ = self.socket.recvmsg(65536, space)
            except socket.timeout:
                continue
            stamp = None
            for level, kind, data in ancillary:
                if level == socket.SOL_SOCKET and kind == SO_TIMESTAMPNS and len(data) >= 16:
                    seconds, nanoseconds = struct.unpack("qq", data[:16])
                    stamp = seconds * 1_000_000_000 + nanoseconds
            self.arrivals.append(stamp if stamp is not None else time.time_ns())

    def close(self):
        self.running = False
        self.thread.join(2)
        self.socket.close()


def read_lines(stream, lines):
    for raw in iter(stream.readline, b""):
        lines.append(raw.decode("utf-8", "replace").rstrip("\r\n"))


def start_wine_server(prefix):
    env = dict(os.environ, TORVANE_WINEPREFIX=prefix)
    subprocess.run(["bash", "-c", f'source "{REPO}/.ci/wine-env.sh"'], env=env, check=True,
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, timeout=600)


def stop_wine_server(prefix):
    env = dict(os.environ, TORVANE_WINEPREFIX=prefix, TORVANE_WINE_ENV_FUNCTIONS_ONLY="1")
    subprocess.run(["bash", "-c", f'source "{REPO}/.ci/wine-env.sh" && torvane_wine_stop'],
                   env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, timeout=120)


def find_wine_program(launcher_pid, exe, seconds=30):
    """The Linux process that runs the .exe: the launchers exec and fork their way down to it."""
    name = os.path.basename(exe)[:15]
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        for pid in descendants(launcher_pid):
            if comm(pid) == name:
                return pid
        time.sleep(0.05)
    raise RuntimeError(f"no process named {name!r} below {launcher_pid}")


def open_page(out):
    """Headless Chromium on the address the program printed ("Live page: URL")."""
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    deadline = time.monotonic() + 30
    while not any(line.startswith("Live page: ") for line in out):
        if time.monotonic() > deadline:
            raise RuntimeError("no \"Live page:\" line")
        time.sleep(0.01)
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for flag in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
                 "--disable-component-update", "--disable-sync", "--no-first-run",
                 f"--user-data-dir={tempfile.mkdtemp()}"):
        options.add_argument(flag)
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    driver.get(next(line for line in out if line.startswith("Live page: "))[len("Live page: "):])
    return driver


def measure(spec):
    subprocess.run(["ip", "link", "set", "lo", "up"], check=True)
    wine = spec["wine"]
    if wine:
        prefix = spec["wine_prefix"]
        # wine-env.sh stops a server of this prefix that runs outside the namespace, then starts
        # one here: the program's sockets live in it.
        start_wine_server(prefix)
        command = [os.path.join(REPO, "cmake", "wine-run.sh"), prefix, spec["binary"]]
        clock = time.CLOCK_MONOTONIC_RAW  # Wine's performance counter, in 100 ns units
    else:
        command = [spec["binary"]]
        clock = time.CLOCK_MONOTONIC  # glibc's steady_clock
    handle, trace_path = tempfile.mkstemp(suffix=".csv")
    os.close(handle)
    user = spec.get("user")
    if user is not None:
        os.chown(trace_path, user[0], user[1])  # the program writes it as that user
    listener = ReportListener()
    sender = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    out, err = [], []
    result = {"phases": [], "wine": wine}
    process = None
    browser = None
    try:
        before = {c: time.clock_gettime_ns(c) for c in (time.CLOCK_MONOTONIC,
                                                        time.CLOCK_MONOTONIC_RAW)}
        process = subprocess.Popen(command + ["--virtual-wheel", "--trace", trace_path]
                                   + spec["options"], stdin=subprocess.DEVNULL,
                                   stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                   user=user[0] if user else None,
                                   group=user[1] if user else None,
                                   extra_groups=[] if user else None)
        for stream, lines in ((process.stdout, out), (process.stderr, err)):
            threading.Thread(target=read_lines, args=(stream, lines), daemon=True).start()
        deadline = time.monotonic() + 60
        while not any("Bridge active" in line for line in out):
            if process.poll() is not None or time.monotonic() > deadline:
                raise RuntimeError("the program did not start: " + " | ".join(out + err))
            time.sleep(0.001)
        after = {c: time.clock_gettime_ns(c) for c in before}
        result["clock_bracket"] = {str(c): [before[c], after[c]] for c in before}
        pid = find_wine_program(process.pid, spec["binary"]) if wine else process.pid
        if "--page" in spec["options"]:
            browser = open_page(out)
        time.sleep(1.0)  # let the start settle
        # The sender reads its clock and sends at once: at a real-time priority above the
        # program's, a load cannot come between the two and count against the program. (Its
        # children, none here, would not inherit it.)
        try:
            os.sched_setscheduler(0, os.SCHED_FIFO | os.SCHED_RESET_ON_FORK,
                                  os.sched_param(20))
            result["sender_fifo"] = True
        except OSError:
            result["sender_fifo"] = False

        def sample():
            server, others = wine_processes(pid) if wine else ([], [])
            # Per process, so that one which ends or starts in between counts only while alive.
            # The browser: chromedriver's processes (Chromium and its renderers) below it.
            shown = descendants(browser.service.process.pid) if browser is not None else []
            return {"program": {pid: cpu_ns(pid)}, "server": {p: cpu_ns(p) for p in server},
                    "others": {p: cpu_ns(p) for p in others},
                    "browser": {p: cpu_ns(p) for p in shown},
                    "switches": voluntary_switches(pid), "mono": time.monotonic_ns(),
                    "clock": time.clock_gettime_ns(clock),
                    "real": time.time_ns()}

        def used(start, end):
            return sum(ns - start.get(p, 0) for p, ns in end.items() if ns >= start.get(p, 0))

        def phase(name, rate, start, end, sends):
            seconds = (end["mono"] - start["mono"]) / 1e9
            result["phases"].append({
                "name": name, "rate": rate, "seconds": seconds, "sends": sends,
                "real": [start["real"], end["real"]],
                "mono": [start["clock"], end["clock"]],
                "cpu": {k: used(start[k], end[k]) / 1e9 / seconds * 100
                        for k in ("program", "server", "others", "browser")},
                "wakeups": (end["switches"] - start["switches"]) / seconds})

        start = sample()
        time.sleep(spec["idle_seconds"])
        phase("idle", 0, start, sample(), [])
        seq = 0
        for rate in RATES:
            sends = []
            period = 1_000_000_000 // rate
            start = sample()
            begin = time.monotonic_ns()
            stop = begin + int(spec["seconds"] * 1e9)
            next_send = begin
            while next_send < stop:
                pause = next_send - time.monotonic_ns()
                if pause > 0:
                    time.sleep(pause / 1e9)
                sent = time.clock_gettime_ns(clock)
                sender.sendto(DATAGRAMS[seq % len(TAGS)], TELEMETRY)
                sends.append((seq, sent))
                seq += 1
                # A late sender does not catch up in a burst: its datagrams stay at least half a
                # period apart, as from a fixed-step physics loop. (Two within a millisecond
                # would measure the program's deliberate spacing of woken passes instead.)
                next_send = max(next_send + period, time.monotonic_ns() + period // 2)
            phase(f"{rate} Hz", rate, start, sample(), sends)
            time.sleep(0.4)  # the telemetry goes stale: the effects stop between phases
        # Untagged phases: only the passes, the effect calls and the CPU time count.
        lap = lap_datagrams()
        for name, rate, schedule in (
                (f"unchanged {UNCHANGED_RATE} Hz", UNCHANGED_RATE,
                 [(i / UNCHANGED_RATE, WORKED_EXAMPLE)
                  for i in range(int(spec["seconds"] * UNCHANGED_RATE))]),
                ("sample lap", 100, [(t, d) for t, d in lap if t < spec["seconds"]])):
            start = sample()
            begin = time.monotonic_ns()
            for at, message in schedule:
                pause = begin + int(at * 1e9) - time.monotonic_ns()
                if pause > 0:
                    time.sleep(pause / 1e9)
                sender.sendto(message, TELEMETRY)
            phase(name, rate, start, sample(), [])
            result["phases"][-1]["untagged"] = True
            time.sleep(0.4)
        process.send_signal(signal.SIGINT)
        result["exit_code"] = process.wait(timeout=60)
    finally:
        if browser is not None:
            browser.quit()
        if process is not None and process.poll() is None:
            process.kill()
            process.wait()
        listener.close()
        sender.close()
        if wine:
            stop_wine_server(spec["wine_prefix"])
    result["arrivals"] = listener.arrivals
    with open(trace_path, encoding="ascii") as f:
        result["trace"] = f.read().splitlines()
    os.unlink(trace_path)
    result["version"] = next((line for line in result["trace"][:1]), "")
    result["priority"] = next((line for line in out if line.startswith("Low latency:")), "")
    result["clock"] = clock
    print(json.dumps(result))


# ---------------------------------------------------------------------------------------------
# The figures from one run's raw data.
# ---------------------------------------------------------------------------------------------

def percentile(values, fraction):
    """Nearest-rank percentile of a sorted list; None for an empty one."""
    if not values:
        return None
    rank = max(1, -(-len(values) * fraction // 1))
    return values[int(rank) - 1]


def summary(values):
    values = sorted(values)
    return (percentile(values, 0.5), percentile(values, 0.99), values[-1] if values else None)


def parse_trace(lines):
    """(clock_start_ns, [(time_ns since the loop start, constant, effects sent)]) of the passes
    that played, read by the black-box suite's reader."""
    start, rows = read_trace(lines)
    return start, [(round(r[0] * 1e6), r[1], len(r[11])) for r in rows
                   if r[9] == 1 and r[1] is not None]


def played_sequence(rows):
    """The datagram each played pass applied: the first number at or after the previous one whose
    tag is the pass's constant (the program plays the newest datagram, never an older one)."""
    last, played = 0, []
    for time_ns, constant, _ in rows:
        index = TAG_INDEX.get(constant)
        if index is None:
            played.append((time_ns, None))
            continue
        last += (index - last % len(TAGS)) % len(TAGS)
        played.append((time_ns, last))
    return played


def figures(result):
    start, rows = parse_trace(result["trace"])
    played = [(start + t, s) for t, s in played_sequence(rows) if s is not None]
    # Pass times on the host's monotonic clock and effect calls, for the untagged phases.
    calls = [(start + t, n) for t, _, n in rows]
    phases = []
    arrivals = result["arrivals"]
    for phase in result["phases"]:
        figure = {"name": phase["name"], "seconds": phase["seconds"], "cpu": phase["cpu"]}
        low, high = phase["real"]
        stamps = [a for a in arrivals if low <= a <= high]
        figure["report_gaps"] = [(b - a) / 1e6 for a, b in zip(stamps, stamps[1:])]
        figure["report_ms"] = summary(figure["report_gaps"])
        sends = phase["sends"]
        if "untagged" in phase:
            # The trace's times are on the program's clock; the phase's on the host's real-time
            # clock: the mono/real pair of each sample relates them.
            low_mono, high_mono = phase["mono"]
            mine = [n for t, n in calls if low_mono <= t <= high_mono]
            figure["passes"] = len(mine) / phase["seconds"]
            figure["effect_calls"] = sum(mine) / phase["seconds"]
        elif not sends:
            figure["wakeups"] = phase["wakeups"]
        else:
            first, last = sends[0][0], sends[-1][0]
            mine = [(t, s) for t, s in played if first <= s <= last]
            window = (sends[-1][1] - sends[0][1]) / 1e9
            figure["passes"] = sum(1 for t, _ in mine if t <= sends[-1][1]) / window
            figure["effect_calls"] = sum(n for t, n in calls
                                         if sends[0][1] <= t <= sends[-1][1]) / window
            figure["played_pct"] = 100.0 * len({s for _, s in mine}) / len(sends)
            latencies, cursor = [], 0
            for seq, sent in sends:
                while cursor < len(mine) and mine[cursor][1] < seq:
                    cursor += 1
                if cursor < len(mine):
                    latencies.append((mine[cursor][0] - sent) / 1e6)
            figure["latency_ms"] = summary(latencies)
            figure["latency_samples"] = latencies
            figure["latency_min_ms"] = min(latencies) if latencies else None
            figure["unplayed"] = len(sends) - len(latencies)
        phases.append(figure)
    bracket = result["clock_bracket"][str(result["clock"])]
    return {"phases": phases, "clock_ok": bracket[0] <= start <= bracket[1],
            "exit_code": result["exit_code"], "version": result["version"],
            "priority": result["priority"], "sender_fifo": result.get("sender_fifo"),
            "clock_offsets_ms": {c: ((b[0] - start) / 1e6, (b[1] - start) / 1e6)
                                 for c, b in result["clock_bracket"].items()}}


# ---------------------------------------------------------------------------------------------
# The orchestration and the table.
# ---------------------------------------------------------------------------------------------

def loadavg():
    with open("/proc/loadavg") as f:
        return " ".join(f.read().split()[:3])


def run_one(args, binary, wine, options, user):
    spec = {"binary": binary, "wine": wine, "options": options, "seconds": args.seconds,
            "idle_seconds": args.idle_seconds, "user": user,
            "wine_prefix": args.wine_prefix or os.path.join(os.path.dirname(binary),
                                                            "wine-prefix")}
    command = [sys.executable, os.path.abspath(__file__), "--measure", json.dumps(spec)]
    if args.nice:
        command = ["nice", "-n", str(args.nice)] + command
    if not args.shared_network:
        command = ["unshare", "-n", "--"] + command
    done = subprocess.run(command, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                          timeout=args.seconds * 6 + args.idle_seconds + 900)
    if done.returncode != 0:
        raise RuntimeError(f"the measurement failed with status {done.returncode}")
    return figures(json.loads(done.stdout.decode().strip().splitlines()[-1]))


class Load:
    """count busy processes (a game's threads, say) for as long as the block runs."""

    def __init__(self, count):
        self.count = count
        self.processes = []

    def __enter__(self):
        self.processes = [subprocess.Popen([sys.executable, "-c", "while True: pass"])
                          for _ in range(self.count)]
        time.sleep(0.5 if self.count else 0)  # let them reach the run queue
        return self

    def __exit__(self, *_):
        for process in self.processes:
            process.kill()
            process.wait()


def cell(values, digits=2):
    if values is None or any(v is None for v in values):
        return "-"
    return " / ".join(f"{v:.{digits}f}" for v in values)


def print_table(columns, wine):
    """columns: (name, run) pairs, side by side."""
    width = 40
    column = max(24, max(len(name) for name, _ in columns) + 2)
    print(f"{'':<{width}}" + "".join(f"{name:>{column}}" for name, _ in columns))
    runs = [run for _, run in columns]
    print(f"  {'priority':<{width - 2}}" + "".join(
        f"{run['priority'].replace('Low latency: ', '')[:column - 2] or '-':>{column}}"
        for run in runs))
    names = [p["name"] for p in runs[0]["phases"]]
    for index, name in enumerate(names):
        phases = [run["phases"][index] for run in runs]
        seconds = phases[0]["seconds"]
        print(f"{name} ({seconds:.0f} s)" if name != "idle" else
              f"idle, no telemetry ({seconds:.0f} s)")
        rows = []
        if "latency_ms" in phases[0]:
            rows.append(("latency p50 / p99 / max, ms",
                         [cell(p["latency_ms"], 3) for p in phases]))
            rows.append(("latency min, ms", [cell([p["latency_min_ms"]], 3) for p in phases]))
            rows.append(("datagrams played / superseded, %",
                         [f"{p['played_pct']:.0f} / {100 - p['played_pct']:.0f}"
                          for p in phases]))
        if "passes" in phases[0]:
            rows.append(("passes per second", [f"{p['passes']:.0f}" for p in phases]))
            rows.append(("effect calls per second", [f"{p['effect_calls']:.0f}" for p in phases]))
        else:
            rows.append(("wake-ups (voluntary switches) per s",
                         [f"{p['wakeups']:.0f}" for p in phases]))
        rows.append(("report interval p50 / p99 / max, ms",
                     [cell(p["report_ms"], 2) for p in phases]))
        rows.append(("CPU, % of one core", [f"{p['cpu']['program']:.2f}" for p in phases]))
        if any(p["cpu"].get("browser") for p in phases):
            rows.append(("  the browser showing the page, %",
                         [f"{p['cpu'].get('browser', 0):.2f}" for p in phases]))
        if wine:
            rows.append(("  Wine server, % of one core",
                         [f"{p['cpu']['server']:.2f}" for p in phases]))
            rows.append(("  Wine's other processes, %",
                         [f"{p['cpu']['others']:.2f}" for p in phases]))
        for label, values in rows:
            print(f"  {label:<{width - 2}}" + "".join(f"{v:>{column}}" for v in values))


def pool(runs):
    """One column's rounds as one run: the latency samples and the reports' gaps together, the
    other figures averaged."""
    if len(runs) == 1:
        return runs[0]
    pooled = dict(runs[0], phases=[])
    pooled["exit_code"] = max(run["exit_code"] for run in runs)
    pooled["clock_ok"] = all(run["clock_ok"] for run in runs)
    for index, first in enumerate(runs[0]["phases"]):
        phases = [run["phases"][index] for run in runs]
        figure = {"name": first["name"], "seconds": sum(p["seconds"] for p in phases),
                  "cpu": {k: sum(p["cpu"][k] for p in phases) / len(phases) for k in first["cpu"]},
                  "report_ms": summary([x for p in phases for x in p["report_gaps"]])}
        for key in ("passes", "effect_calls", "wakeups", "played_pct"):
            if key in first:
                figure[key] = sum(p[key] for p in phases) / len(phases)
        if "latency_samples" in first:
            samples = [x for p in phases for x in p["latency_samples"]]
            figure["latency_ms"] = summary(samples)
            figure["latency_min_ms"] = min(samples) if samples else None
        pooled["phases"].append(figure)
    return pooled


def print_pairs(rounds, loads):
    """Each page column against the same column without the page: p50 and p99 of the latency,
    pooled and round by round, and the change in %."""
    for load in loads:
        for with_page, without in PAIRS:
            if (with_page, load) not in rounds or (without, load) not in rounds:
                continue
            a_runs, b_runs = rounds[(without, load)], rounds[(with_page, load)]
            pairs = [(pool(a_runs), pool(b_runs))] + list(zip(a_runs, b_runs))
            print(f"\n{MODES[with_page][0]} against {MODES[without][0]}"
                  + (", loaded" if load else "") + ": latency p50 / p99, ms (change)")
            for index, phase in enumerate(pairs[0][1]["phases"]):
                if "latency_ms" not in phase:
                    continue
                cells = []
                for a_run, b_run in pairs:
                    a, b = a_run["phases"][index]["latency_ms"], b_run["phases"][index]["latency_ms"]
                    cells.append(" ".join(f"{a[i]:.3f}/{b[i]:.3f} ({(b[i] / a[i] - 1) * 100:+.0f} %)"
                                          for i in (0, 1)))
                print(f"  {phase['name']:<8} pooled {cells[0]}"
                      + "".join(f"\n  {'':<8} round {n} {c}" for n, c in enumerate(cells[1:], 1)))


def unprivileged(name):
    """(uid, gid) of the user name."""
    import pwd
    entry = pwd.getpwnam(name)
    return entry.pw_uid, entry.pw_gid


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--program", help="the Linux binary")
    parser.add_argument("--wine", metavar="EXE", help="the Windows .exe, run under Wine")
    parser.add_argument("--wine-prefix", help="Wine prefix (default: wine-prefix beside EXE)")
    parser.add_argument("--seconds", type=float, default=10.0, help="per phase (default 10)")
    parser.add_argument("--idle-seconds", type=float, default=5.0, help="idle phase (default 5)")
    parser.add_argument("--load", type=int, default=0, metavar="N",
                        help="run every column also with N busy processes (two per core: "
                             "twice the core count)")
    parser.add_argument("--user", default="nobody",
                        help="the unprivileged user of the '--low-latency, user' column "
                             "(default nobody; Linux binary only)")
    parser.add_argument("--shared-network", action="store_true",
                        help="use the machine's loopback instead of a private namespace")
    parser.add_argument("--nice", type=int, default=0,
                        help="run the program, its Wine server and the sender at this nice value "
                             "(negative: favoured on a busy machine; needs root)")
    parser.add_argument("--page", action="store_true",
                        help="also run the default loop and --low-latency (root) with --page and "
                             "a browser showing it")
    parser.add_argument("--columns", metavar="KEYS",
                        help="only these columns, comma-separated, of " + ", ".join(MODES) +
                             " (default: default, user, root, and with --page page, root-page)")
    parser.add_argument("--rounds", type=int, default=1, metavar="N",
                        help="run the columns N times, one after the other in turn, and pool "
                             "each column's rounds (latency samples together, the other figures "
                             "averaged): a load that comes and goes then falls on every column")
    parser.add_argument("--measure", help=argparse.SUPPRESS)
    args = parser.parse_args()
    if args.measure:
        measure(json.loads(args.measure))
        return 0
    binaries = [(os.path.abspath(p), w) for p, w in ((args.program, False), (args.wine, True))
                if p]
    if not binaries:
        parser.error("give --program, --wine or both")
    print(f"machine: {os.cpu_count()} cores, {os.uname().release}"
          + (f"; measured at nice {args.nice}" if args.nice else "")
          + (f"; loaded: {args.load} busy processes" if args.load else ""))
    loads = [0, args.load] if args.load else [0]
    keys = (args.columns.split(",") if args.columns else
            ["default", "user", "root"] + (["page", "root-page"] if args.page else []))
    unknown = [key for key in keys if key not in MODES]
    if unknown or args.rounds < 1:
        parser.error(f"unknown columns {unknown}" if unknown else "--rounds must be at least 1")
    status = 0
    for binary, wine in binaries:
        load_before = loadavg()
        columns, rounds = [], {}
        try:
            for load in loads:
                for round_number in range(args.rounds):
                    for key in keys:
                        name, options, as_user = MODES[key]
                        if as_user and wine:
                            continue  # the Wine prefix belongs to root; see docs/performance.md
                        user = unprivileged(args.user) if as_user else None
                        with Load(load):
                            run = run_one(args, binary, wine, options, user)
                        rounds.setdefault((key, load), []).append(run)
                        print(f"  round {round_number + 1}: {name}" + (", loaded" if load else "")
                              + f" done ({loadavg()})", file=sys.stderr, flush=True)
            for (key, load), runs in rounds.items():
                columns.append((MODES[key][0] + (", loaded" if load else ""), pool(runs)))
        except (RuntimeError, subprocess.TimeoutExpired, ValueError, KeyError) as failure:
            print(f"{binary}: {failure}")
            status = 1
            continue
        print()
        print(f"{'Wine' if wine else 'Linux'}: {binary}")
        print(f"  {columns[0][1]['version'].lstrip('# ')}")
        print(f"  load average before: {load_before}, after: {loadavg()}")
        clock = "CLOCK_MONOTONIC_RAW" if wine else "CLOCK_MONOTONIC"
        for name, run in columns:
            offsets = run["clock_offsets_ms"]
            print(f"  {name}: exit code {run['exit_code']}; clock_start_ns "
                  f"{'lies' if run['clock_ok'] else 'does NOT lie'} between the host's {clock} "
                  f"readings at the start and at \"Bridge active\" (ms from it, "
                  f"CLOCK_MONOTONIC: {cell(offsets[str(time.CLOCK_MONOTONIC)], 1)}, "
                  f"CLOCK_MONOTONIC_RAW: {cell(offsets[str(time.CLOCK_MONOTONIC_RAW)], 1)})"
                  f"; sender {'at' if run['sender_fifo'] else 'NOT at'} SCHED_FIFO 20")
            if not run["clock_ok"] or run["exit_code"] != 0:
                status = 1
        print()
        print_table(columns, wine)
        print_pairs(rounds, loads)
    return status


if __name__ == "__main__":
    sys.exit(main())
