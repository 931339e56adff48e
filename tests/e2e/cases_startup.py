"""Start-up: the answers that end the program before its loop, warnings, diagnose."""
import re
import socket
import subprocess
import time

from harness import TELEMETRY, check, case, Bridge, run_once


@case
def case_no_wheel_ends_at_once(command):
    """A failed start-up with redirected input never waits for Enter."""
    start = time.monotonic()
    result = subprocess.run(command, stdin=subprocess.DEVNULL, capture_output=True, timeout=60)
    check(result.returncode == 3 and b"Press Enter" not in result.stderr,
          f"exit code {result.returncode}: {result.stderr!r}")
    check(time.monotonic() - start < 30, "took too long")


@case
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
