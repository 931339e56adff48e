"""The console and the session: a stuck or gone console, a session's end, no early hang."""
import os
import signal
import statistics
import subprocess
import tempfile
import threading
import time

from harness import check, case, Bridge, Peer, Sender, playing_rows


def full_pipe():
    """A full pipe nobody reads: a write to it blocks."""
    read_end, write_end = os.pipe()
    os.set_blocking(write_end, False)
    try:
        while True:
            os.write(write_end, b"x" * 4096)
    except BlockingIOError:
        pass
    os.set_blocking(write_end, True)  # the flag belongs to the pipe, which the program shares
    return read_end, write_end


@case
def case_stuck_console(command, gone=False):
    """Output to a full pipe (or a gone reader) never holds up the loop, the stop or Ctrl+C."""
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
          f"{len(arrivals)} reports in 1 s, largest gap {max(gaps, default=0) * 1000:.0f} ms")
    rows = bridge.trace()
    last_apply = playing_rows(rows)[-1][0]
    stop = next((r[0] for r in rows if r[0] > last_apply and r[9] == 0), None)
    check(stop is not None, f"the effects were not stopped after {last_apply} ms")
    stale = stop - (last_sent - bridge.clock_start_ns) / 1e6
    check(stale <= 150, f"stopped {stale:.1f} ms after the last datagram")
    print(f"report gap median {statistics.median(gaps) * 1000:.1f} ms, max {max(gaps) * 1000:.1f}"
          f" ms; stopped {stale:.1f} ms after the last datagram; Ctrl+C {stop_time:.3f} s")


@case
def case_gone_console(command):
    case_stuck_console(command, gone=True)


@case
def case_session_end(command):
    """The effects stop before the process ends, on wineboot --end-session or SIGTERM."""
    wine = command[0].endswith("wine-run.sh")
    with Peer():  # a game that listens to the reports too
        bridge = Bridge(command)
        bridge.wait_for_output("Bridge active.")
        sender = Sender()  # to the end: only the program's stop can stop the effects
        time.sleep(1.0)
        if wine:
            subprocess.run(command[:2] + ["wineboot", "--end-session"], timeout=60,
                           stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
        else:
            bridge.process.send_signal(signal.SIGTERM)
        try:
            code = bridge.finish(30)
        finally:
            sender.stop()
    # Windows may end the process after the clean stop.
    check(code == 0 or (wine and code == -signal.SIGTERM), f"exit code {code}{bridge.text()}")
    rows = bridge.trace()
    check(len(rows) > 2 and rows[-2][9] == 1 and rows[-1][9] == 0,
          f"the trace does not end with the stop of playing effects: {rows[-3:]}")


@case
def case_never_hangs(command):
    """No Ctrl+C held up by --wait, or a FIFO as settings file or trace (with or without reader)."""
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
