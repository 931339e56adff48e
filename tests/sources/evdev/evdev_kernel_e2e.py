#!/usr/bin/env python3
"""The shipped Linux program on a real kernel's force-feedback wheel, which uinput-wheel serves
through /dev/uinput, logging every record that reaches it. Run as root where /dev/uinput exists
(the kernel stage of .ci/run boots a guest for it).

    evdev_kernel_e2e.py BUILD-DIRECTORY [WINDOWS-EXE]

With WINDOWS-EXE, the Windows build runs last under Wine's own DirectInput (dinput8, winebus's
evdev backend) in the Wine prefix WINEPREFIX names (made on the host: see .ci/run).
"""
import fcntl
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import threading
import time

BUILD = sys.argv[1]
EXE = sys.argv[2:]
EVIOCGRAB = 0x40044590
WORKED_EXAMPLE = (b'{"aligningTorque":-0.42,"engineHz":61.5,"engineGain":0.3,"roadGain":0.12,'
                  b'"curbPulse":0.8,"speed":27.4,"verticalAccel":1.6,"curb":true}')
WORKED_RECORDS = ["0 4000 0 | constant -1376", "1 4000 0 | periodic 5a 2163+0 16 ms phase 0",
                  "2 4000 0 | periodic 5a 577+0 14 ms phase 0",
                  "3 4000 0 | periodic 58 2621+0 10 ms phase 0",
                  "4 4000 0 | condition 55 819/819 65535/65535 centre 0 band 0"]
ALL_FIVE = "constant=1, engine sine=1, road sine=1, curb square=1, damper=1"


def check(condition, message):
    if not condition:
        raise AssertionError(message)


def wait_for(predicate, seconds=20):
    deadline = time.monotonic() + seconds
    while not predicate() and time.monotonic() < deadline:
        time.sleep(0.02)
    return predicate()


class Process:
    """A program whose output lines are read as they come; killed after its case."""
    running = []

    def __init__(self, command, **options):
        Process.running.append(self)
        self.process = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE, text=True, **options)
        self.out, self.err = [], []
        for stream, lines in ((self.process.stdout, self.out), (self.process.stderr, self.err)):
            read = lambda s=stream, l=lines: l.extend(t.replace("\r", "") for t in s)  # Wine: CRLF
            threading.Thread(target=read, daemon=True).start()

    def interrupt(self):
        """Ctrl+C, which must end it with exit code 0."""
        self.process.send_signal(signal.SIGINT)
        check(self.process.wait(timeout=30) == 0, f"exit code {self.process.returncode}, "
              f"output {self.out}, errors {self.err}")


class Wheel(Process):
    def __init__(self, *options):
        super().__init__([f"{BUILD}/tests/uinput-wheel", *options])
        check(wait_for(lambda: self.out), f"uinput-wheel {options} made no device: {self.err}")
        self.node = self.out[0].split()[2]

    def command(self, text):
        self.process.stdin.write(text + "\n")
        self.process.stdin.flush()

    def records(self, kind, since=0):
        return [line.split(" ", 2)[2].strip() for line in self.out[since:]
                if line.split()[1] == kind]


def bridge(*options, user=None, program=(f"{BUILD}/torvane-bridge",), effects=ALL_FIVE):
    run = Process([*program, *options], user=user)
    wait_for(lambda: "Bridge active" in "".join(run.out) or run.process.poll() is not None, 90)
    check(f"FFB effects: {effects}\n" in run.out or not effects, f"{run.out} {run.err}")
    return run


def send(datagram, times=1):
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as sender:
        for _ in range(times):
            sender.sendto(datagram, ("127.0.0.1", 8766))
            time.sleep(0.02)


def worked_example():
    Wheel("--name", "Kernel Test Pedals", "--no-ff", "--product", "2")
    wheel = Wheel()
    run = bridge("--device", "test wheel")
    send(WORKED_EXAMPLE, 25)
    check(wait_for(lambda: len(wheel.records("play")) >= 5), f"nothing played: {wheel.out}")
    playing = len(wheel.out)
    run.interrupt()
    check(run.out[:4] == ["Attached game controllers:\n", "  [0] Kernel Test Pedals FFB=0\n",
                          "  [1] Kernel Test Wheel FFB=1\n", "Selected: Kernel Test Wheel\n"]
          and run.err == [], f"{run.out} {run.err}")
    check(wheel.records("upload")[-5:] == WORKED_RECORDS, f"records: {wheel.out}")
    check(wheel.records("gain") == ["65535"] and wheel.records("autocenter") == ["0"],
          f"FF_GAIN and FF_AUTOCENTER once each: {wheel.out}")
    # At Ctrl+C each effect hears one stop from the bridge, then the kernel's own as it erases.
    stops = [f"{n} 0" for n in range(5)] * 2
    check(sorted(wheel.records("play", playing)) == sorted(stops) and
          sorted(wheel.records("erase")) == list("01234"), f"at Ctrl+C: {wheel.out[playing:]}")
    node = os.open(wheel.node, os.O_RDWR)
    fcntl.ioctl(node, EVIOCGRAB, 1)  # raises unless the grab was released


def replug():
    wheel = Wheel()
    run = bridge()
    datagram = [WORKED_EXAMPLE]

    def telemetry():
        while data := datagram[0]:
            send(data)
    threading.Thread(target=telemetry, daemon=True).start()
    check(wait_for(lambda: "-1376" in "".join(wheel.out)), f"{wheel.out}")
    wheel.command("unplug")
    time.sleep(0.3)
    datagram[0] = WORKED_EXAMPLE.replace(b"-0.42", b"0.9")  # the newest values, before it returns
    time.sleep(0.3)
    wheel.command("plug")
    back = lambda: [i for i, line in enumerate(wheel.out) if " created " in line][1:]
    check(wait_for(lambda: back() and "0 1" in wheel.records("play", back()[0])),
          f"no forces came back: {wheel.out}")
    after = wheel.out[back()[0]:]
    found = float(after[1].split()[0]) - float(after[0].split()[0])
    print(f"replug: the wheel was acquired {found:.0f} ms after its node appeared")
    check(found < 1000, f"the wheel was found {found:.0f} ms after its node appeared")
    constant = next(line for line in after if " constant " in line)
    check(constant.endswith(" constant 2949\n"), f"came back with {constant}")
    datagram[0] = None
    run.interrupt()


def grab_held():
    fcntl.ioctl(os.open(Wheel().node, os.O_RDWR), EVIOCGRAB, 1)
    run = bridge(effects=None)
    # The default name filter matches no test wheel: the line before says which one is used.
    check(run.process.wait(timeout=30) == 5 and wait_for(lambda: len(run.err) == 2, 5) and
          run.err[0].startswith('No controller name contains "fanatec"; using [') and
          run.err[1] == "Could not acquire the controller. Close Fanatec Control Panel or other "
          "FFB applications and retry.\n", f"exit code {run.process.returncode}, {run.err}")


def no_access():
    closed, wheel = Wheel(), Wheel("--name", "Open Wheel", "--product", "2")
    os.chmod(wheel.node, 0o666)
    program = [shutil.copy(f"{BUILD}/torvane-bridge", "/tmp/torvane-bridge")]
    run = bridge("--device", "open", user="nobody", program=program)
    run.interrupt()
    check(f"Cannot open {closed.node} (Kernel Test Wheel): permission denied. " in run.err[0] and
          "  [0] Open Wheel FFB=1\n" in run.out, f"{run.out} {run.err}")
    os.chmod(wheel.node, 0o600)  # now no wheel at all: the hint says where it looked
    run = Process(program, user="nobody")
    hint = re.compile(r"Looked in /dev/input/event\* \(\d+ nodes\); 2 that may be game "
                      r"controllers were refused \(see above\)\. Read \"Wheels on Linux\" in the "
                      r"README, or try --virtual-wheel\.\n")
    check(run.process.wait(timeout=30) == 3 and
          wait_for(lambda: any(hint.fullmatch(line) for line in run.err), 5), f"{run.err}")


def refused(*options):
    wheel = Wheel(*options)
    run = bridge(effects=ALL_FIVE[:-1] + "0")
    send(WORKED_EXAMPLE)
    check(wait_for(lambda: len(wheel.records("play")) >= 4), f"the others silent: {wheel.out}")
    run.interrupt()


def near(record, expected):
    """Whether an effect record is the expected one, but for its id and Wine's arithmetic: Wine
    converts DirectInput's units to the kernel's its own way (-1377 for our -1376, offsets and
    centres -1 for 0, periods truncated to whole ms, 9 for 9585 us), and sends the direction of
    the +X axis as 0x402d rather than 0x4000. What the program controls is a value in DirectInput
    units; one kernel unit, one ms and 0x40 of direction (a third of a degree) are rounding, not a
    different force."""
    (_, direction, length, got), (_, _, _, want) = (
        (*line.split("|")[0].split(), re.split(r"([+-]?\d+)", line.split("|")[1]))
        for line in (record, expected))
    return abs(int(direction, 16) - 0x4000) <= 0x40 and length == "0" and len(got) == len(want) \
        and all(a == b if i % 2 == 0 else abs(int(a) - int(b)) <= 1
                for i, (a, b) in enumerate(zip(got, want)))


def late_wheel():
    # --wait: no wheel yet, so the bridge waits (instead of exit 3) and takes it once it is there.
    run = Process([f"{BUILD}/torvane-bridge", "--wait", "--device", "test wheel"])
    waiting = "Waiting for a force-feedback wheel... (Ctrl+C to stop)\n"
    check(wait_for(lambda: waiting in run.err, 60), f"{run.out} {run.err}")
    Wheel()
    check(wait_for(lambda: "Selected: Kernel Test Wheel\n" in run.out, 30) and
          run.err == [waiting], f"{run.out} {run.err}")
    run.interrupt()


def wine_directinput():
    # winebus finds the wheel through udev (ID_INPUT_JOYSTICK), not by itself.
    subprocess.run(["/lib/systemd/systemd-udevd", "--daemon"], check=True, capture_output=True)
    wheel = Wheel()
    for command in (["udevadm", "trigger"], ["udevadm", "settle"], ["wineserver", "-p"]):
        subprocess.run(command, check=True, timeout=60, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wine = ["setarch", "x86_64", "-R", "wine", *EXE, "--device", "kernel test wheel"]
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as reports:
        reports.bind(("127.0.0.1", 8767))
        run = bridge(program=wine)
        check("  [0] Kernel Test Wheel FFB=1\n" in run.out, f"{run.out} {run.err}")
        own = set(wheel.records("upload"))  # Wine's own probe as it opened the node
        send(WORKED_EXAMPLE, 25)
        wheel.command("key 289 1")  # BTN_THUMB: the second button
        wheel.command("abs 0 16384")  # three quarters of the travel
        # Three quarters of the travel is 5000 of -10000..10000; Wine scales axes itself: +-10.
        seen = lambda: re.search(rb'"x":(499\d|500\d),.*"buttons":\[1\]', reports.recv(4096))
        check(wait_for(seen, 30), "no raw-input report of the button and the axis")
    run.interrupt()
    last = {line.split()[0]: line for line in wheel.records("upload") if line not in own}
    check(all(any(near(line, record) for line in last.values()) for record in WORKED_RECORDS),
          f"the wheel received {sorted(last.values())}")
    check(sorted(wheel.records("erase")) == sorted(last), f"erased {wheel.records('erase')}")
    diagnose = Process(wine + ["--diagnose"])
    check(wait_for(lambda: "Move the wheel" in "".join(diagnose.out), 90), f"{diagnose.out}")
    diagnose.interrupt()
    for effect in ("GUID_ConstantForce", "GUID_Sine", "GUID_Square", "GUID_Damper"):
        check(f"  - {effect} (type" in "".join(diagnose.out), f"{effect}: {diagnose.out}")


failed = 0
for name, case in (("worked example", worked_example), ("unplugged and back", replug),
                   ("grab held elsewhere", grab_held), ("node not open to the user", no_access),
                   ("damper refused", lambda: refused("--refuse-damper")),
                   ("four effect slots", lambda: refused("--slots", "4")),
                   ("a wheel switched on after the bridge (--wait)", late_wheel)) + (
                       (("the .exe on Wine's DirectInput", wine_directinput),) if EXE else ()):
    try:
        case()
        print(f"ok: {name}")
    except Exception as error:  # one line per failed case, and on to the next
        failed += 1
        print(f"FAILED: {name}: {error}")
    for process in Process.running:
        process.process.kill()
        process.process.wait()
    Process.running = []
print(f"{failed} failed")
sys.exit(1 if failed else 0)
