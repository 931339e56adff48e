"""Start-up: the settings file, answers that end the program early, warnings, diagnose."""
import os
import re
import socket
import tempfile
import time

from harness import TELEMETRY, WORKED_EXAMPLE, check, case, Bridge, Peer, playing_rows, run_once


def write_text(path, text):
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


def rewrite_often(path, text, peer):
    """An editor that empties, then writes the file: every 2 ms for a second."""
    end = time.monotonic() + 1.0
    while time.monotonic() < end:
        write_text(path, text)
        peer.sender.sendto(WORKED_EXAMPLE, TELEMETRY)
        time.sleep(0.002)


@case
def case_settings(command):
    """A rewrite applies once settled; a broken or half-written one, or a directory, doesn't."""
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
    seen = [v for i, v in enumerate(applied) if i == 0 or v != applied[i - 1]]
    expected = [[-420, 0, 16260, 704, 13890, 2400, 9585, 200], [-300, 0, 16260, 176, 13890, 1200, 9585, 100]]
    check(seen == expected, f"sent {seen}, expected {expected}")


@case
def case_write_config(command):
    folder = tempfile.mkdtemp()
    first, second = os.path.join(folder, "a.toml"), os.path.join(folder, "b.toml")

    def run(*arguments):
        code, _, err = run_once(command, *arguments)
        return code, "\n".join(err)

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
    check(code == 1 and err == f"Could not write the settings to {folder}: it is a directory.",
          f"onto a directory: {code} {err}")


@case
def case_no_wheel_ends_at_once(command):
    """A failed start-up with redirected input never waits for Enter."""
    start = time.monotonic()
    code, _, err = run_once(command)
    check(code == 3 and not any("Press Enter" in line for line in err), f"exit code {code}: {err}")
    check(time.monotonic() - start < 30, "took too long")


@case
def case_warnings(command):
    bridge = Bridge(command, "--virtual-whel", "--gain", "0,5", "--device", "Logitech",
                    trace=False)
    bridge.wait_for_output("Bridge active. Gain=0 ")
    bridge.interrupt()
    for line in ('Ignored unknown argument "--virtual-whel".',
                 'Ignored --gain "0,5": expected a number from 0 to 0.35; using 0 (no force).',
                 'No controller name contains "logitech"; using [0] Torvane Virtual Wheel.'):
        check(bridge.err.count(line) == 1, f"not one {line!r}{bridge.text()}")
    check("Selected: Torvane Virtual Wheel" in bridge.out, f"no selection{bridge.text()}")


@case
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


@case
def case_startup(command):
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
