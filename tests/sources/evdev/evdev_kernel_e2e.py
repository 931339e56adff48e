#!/usr/bin/env python3
"""evdev_kernel_e2e.py BUILD-DIRECTORY [WINDOWS-EXE], as root in the kernel stage's guest: the
shipped programs on uinput-wheel and on tests/pid-wheel's USB PID base (through hid-pidff), and
the .exe under Wine's own DirectInput over hidraw (not winebus's evdev translation).
TORVANE_KERNEL_CASES=TEXT runs only the cases whose name holds TEXT."""
import fcntl
import os
import re
import shutil
import socket
import struct
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [f"{HERE}/../../pid-wheel", f"{HERE}/../../e2e"]
import pid_wheel as pid  # noqa: E402
from harness import WORKED_EXAMPLE, Program, Sender, check, kill_running, wait_for  # noqa: E402

BUILD = sys.argv[1]
EXE = sys.argv[2:]
BRIDGE = (f"{BUILD}/torvane-bridge",)
EVIOCGRAB = 0x40044590
WORKED_RECORDS = ["0 4000 0 | constant -1376", "1 4000 0 | periodic 5a 2163+0 16 ms phase 0",
                  "2 4000 0 | periodic 5a 577+0 14 ms phase 0",
                  "3 4000 0 | periodic 58 2621+0 10 ms phase 0",
                  "4 4000 0 | condition 55 819/819 65535/65535 centre 0 band 0"]
ALL_FIVE = "constant=1, engine sine=1, road sine=1, curb square=1, damper=1"
NO_DAMPER = ALL_FIVE[:-1] + "0"
WHEELS = []  # the PID wheels plugged in, unplugged after each case


class Wheel(Program):
    def __init__(self, *options):
        # It ends when its input does.
        super().__init__([f"{BUILD}/tests/uinput-wheel", *options], stdin=subprocess.PIPE)
        check(wait_for(lambda: self.out), f"uinput-wheel {options} made no device: {self.err}")
        self.node = self.out[0].split()[2]

    def records(self, kind, since=0):
        return [line.split(" ", 2)[2] for line in self.out[since:] if line.split()[1] == kind]


def bridge(*options, program=BRIDGE, effects=ALL_FIVE, **popen):
    for attempt in (1, 2):
        run = Program([*program, *options], **popen)
        # A loaded guest may start Wine's desktop too late for the first window: once more then.
        wait_for(lambda: "Bridge active" in "".join(run.out) or run.process.poll() is not None, 180)
        if attempt == 2 or program[0] != "setarch" or run.process.poll() is None or \
                not wait_for(lambda: "owner window" in "".join(run.err), 5):
            break
    check(f"FFB effects: {effects}" in run.out or not effects, f"{run.out} {run.err}")
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
    check(run.out[:4] == ["Attached game controllers:", "  [0] Kernel Test Pedals FFB=0",
                          "  [1] Kernel Test Wheel FFB=1", "Selected: Kernel Test Wheel"]
          and run.err == [], f"{run.out} {run.err}")
    check(wheel.records("upload")[-5:] == WORKED_RECORDS, f"records: {wheel.out}")
    check(wheel.records("gain") == ["65535"] and wheel.records("autocenter") == ["0"],
          f"FF_GAIN and FF_AUTOCENTER once each: {wheel.out}")
    # At Ctrl+C each effect hears one stop from the bridge, then the kernel's own as it erases.
    stops = [f"{n} 0" for n in range(5)] * 2
    check(sorted(wheel.records("play", playing)) == sorted(stops) and
          sorted(wheel.records("erase")) == list("01234"), f"at Ctrl+C: {wheel.out[playing:]}")
    fcntl.ioctl(os.open(wheel.node, os.O_RDWR), EVIOCGRAB, 1)  # raises unless the grab was released


def no_access():
    closed, wheel = Wheel(), Wheel("--name", "Open Wheel", "--product", "2")
    os.chmod(wheel.node, 0o666)
    program = [shutil.copy(BRIDGE[0], "/tmp/torvane-bridge")]
    run = bridge("--device", "open", user="nobody", program=program)
    run.interrupt()
    check(f"Cannot open {closed.node} (Kernel Test Wheel): permission denied. " in run.err[0] and
          "  [0] Open Wheel FFB=1" in run.out, f"{run.out} {run.err}")
    os.chmod(wheel.node, 0o600)  # now no wheel at all: the hint says where it looked
    run = Program(program, user="nobody")
    hint = re.compile(r"Looked in /dev/input/event\* \(\d+ nodes\); 2 that may be game "
                      r"controllers were refused \(see above\)\. Read \"Wheels on Linux\" in the "
                      r"README, or try --virtual-wheel\.")
    check(run.process.wait(timeout=30) == 3 and
          wait_for(lambda: any(hint.fullmatch(line) for line in run.err), 5), f"{run.err}")


def damper_refused():
    wheel = Wheel("--refuse-damper")
    run = bridge(effects=NO_DAMPER)
    send(WORKED_EXAMPLE)
    check(wait_for(lambda: len(wheel.records("play")) >= 4), f"the others silent: {wheel.out}")
    run.interrupt()


def late_wheel():
    # --wait: no wheel yet, so the bridge waits (instead of exit 3) and takes it once it is there.
    run = Program([*BRIDGE, "--wait", "--device", "test wheel"])
    waiting = "Waiting for a force-feedback wheel... (Ctrl+C to stop)"
    check(wait_for(lambda: waiting in run.err, 60), f"{run.out} {run.err}")
    Wheel()
    check(wait_for(lambda: "Selected: Kernel Test Wheel" in run.out, 30) and
          run.err == [waiting], f"{run.out} {run.err}")
    run.interrupt()


def udevd():  # winebus finds a wheel through udev (ID_INPUT_JOYSTICK, hidraw): from before it
    if not os.path.exists("/run/udev/control"):
        subprocess.run(["/lib/systemd/systemd-udevd", "--daemon"], check=True, capture_output=True)


def udev_settled():  # udev's rules applied, the Wine server started (one running answers 2)
    for command in (["udevadm", "trigger"], ["udevadm", "settle"], ["wineserver", "-p"]):
        # Not captured: the server that stays would hold the pipes open.
        subprocess.run(command, check=command[0] != "wineserver", timeout=60,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)


# The worked example in DirectInput units within one: hid-pidff truncates as it scales (-419 for
# -420), the evdev driver rounds periods to whole ms (14 for 13.89), Wine's DirectInput truncates.
PID_FORCES = [("constant", -420), ("damper", 250, 250), ("sine", 176, 14), ("sine", 660, 16),
              ("square", 800, 10)]
NEWER = WORKED_EXAMPLE.replace(b"-0.42", b"0.9")  # the constant 900


def pid_forces(wheel):
    """What the wheel's playing blocks hold, in PID_FORCES' form."""
    forces = []
    for kind, p in wheel.playing().values():
        if kind == "constant" and "constant" in p:
            forces.append((kind, p["constant"]["magnitude"]))
        elif "periodic" in p:
            forces.append((kind, p["periodic"]["magnitude"], p["periodic"]["period"]))
        elif 0 in p:
            forces.append((kind, p[0]["positive coefficient"], p[0]["negative coefficient"]))
    return sorted(forces)


def near_forces(got, want=PID_FORCES):
    return len(got) == len(want) and all(
        g[0] == w[0] and len(g) == len(w) and all(abs(a - b) <= 1 for a, b in zip(g[1:], w[1:]))
        for g, w in zip(got, want))


def pid_wheel(blocks=16):
    wheel = pid.PidWheel(blocks)
    WHEELS.append(wheel)
    wheel.plug()
    check(pid.wait_node()[0], f"no event node for the PID wheel: {wheel.log}")
    return wheel


def pid_end(run, wheel, freed=True):
    """Ctrl+C: every block freed, and no report refused all along."""
    run.interrupt()
    check(not freed or not wheel.effects, f"blocks left at exit: {list(wheel.effects)}")
    refused = [entry for entry in wheel.log if entry[3]]
    check(not refused, f"the wheel refused {refused}")


def pid_session(wheel, program=BRIDGE):
    """The worked example, a button and the wheel turned, stale telemetry, Ctrl+C."""
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as reports:
        reports.bind(("127.0.0.1", 8767))
        run = bridge("--device", "pid test wheel", program=program)
        check(any(line.endswith(" PID Test Wheel FFB=1") for line in run.out), f"{run.out}")
        sender = Sender()
        check(wait_for(lambda: near_forces(pid_forces(wheel))), f"forces {pid_forces(wheel)}")
        last = [b""]

        def seen():  # the wheel reports its state again and again, as wheels do
            wheel.move(x=16384, **{"button 2": 1})  # three quarters of the travel: 5000
            last[0] = reports.recv(4096)
            return re.search(rb'"x":(499\d|500\d),.*"buttons":\[1\]', last[0])
        check(wait_for(seen, 30), f"no raw-input report of the button and the axis: {last[0]}")
        sender.stop()
    check(wait_for(lambda: not wheel.playing(), 10), "stale: still playing")
    pid_end(run, wheel)


def print_reports(writer, wheel):
    """What the wheel received, for docs/directinput-under-wine.md's comparison."""
    print(f"PID reports from {writer}:", *(f"{name} {fields}" for _, name, fields, _ in wheel.log),
          sep="\n  ")


def pid_linux():
    wheel = pid_wheel()
    pid_session(wheel)
    print_reports("hid-pidff", wheel)
    lengths = {entry[2]["duration"] for entry in wheel.log if entry[1] == "set effect"}
    check(lengths == {65535}, f"durations {lengths}, not infinite")


def pid_replug():
    wheel = pid_wheel()
    run = bridge("--device", "pid test wheel")
    sender = Sender()
    check(wait_for(lambda: near_forces(pid_forces(wheel)[:1], PID_FORCES[:1])), f"{wheel.log}")
    wheel.unplug()
    time.sleep(0.3)
    sender.message = NEWER
    time.sleep(0.3)
    wheel.plug()
    _, appeared = pid.wait_node()
    check(wait_for(lambda: pid_forces(wheel)[:1] in ([("constant", 899)], [("constant", 900)])),
          f"no forces came back: {pid_forces(wheel)}")
    block = next(n for n, (kind, _) in wheel.playing().items() if kind == "constant")
    started = next(t for t, name, fields, _ in wheel.log if t > appeared and name == "operation"
                   and fields["block"] == block and fields["operation"] == 1)
    created = next(t for t, name, _, _ in wheel.log if t > appeared and name == "create")
    # Under TCG a USB transfer takes about 25 ms here, and each effect takes four or more.
    ms = [f"{(t - appeared) * 1000:.0f} ms" for t in (created, started)]
    print(f"PID replug: first effect created {ms[0]}, the constant started {ms[1]} after the node")
    check(started - appeared < 1, ms[1])
    sender.stop()
    pid_end(run, wheel, freed=False)


def pid_four_blocks(program=BRIDGE):
    wheel = pid_wheel(blocks=4)
    if program != BRIDGE:
        udev_settled()
    run = bridge("--device", "pid test wheel", program=program, effects=NO_DAMPER)
    send(WORKED_EXAMPLE)
    check(wait_for(lambda: len(wheel.playing()) == 4), f"the others silent: {wheel.log}")
    check(any(name == "block load" and fields["status"] == 2 for _, name, fields, _ in wheel.log),
          "no Block Load full")
    pid_end(run, wheel)


def pid_kernel_fault():
    """hid-pidff's Set Effect for an update has the type of the last effect created: the cases
    above, which the wheel checks for it, mean something."""
    wheel = pid_wheel()
    node = os.open(pid.wait_node()[0], os.O_RDWR)
    ids = []  # the kernel's effect ids, the third upload updating the first
    for kind, which, length, body in ((0x52, -1, 0, struct.pack("<h", -1000)),  # FF_CONSTANT
                                      (0x51, -1, 0, struct.pack("<HHh", 0x5A, 100, 1000)),  # sine
                                      (0x52, 0, 500, struct.pack("<h", -1000))):  # a new length
        record = bytearray(struct.pack("<HhHHHHH2x32s", kind, ids[which] if which >= 0 else -1,
                                       0x4000, 0, 0, length, 0, body))
        fcntl.ioctl(node, 0x40304580, record)  # EVIOCSFF
        ids.append(struct.unpack_from("<h", record, 2)[0])
    os.close(node)
    refused = [entry[3] for entry in wheel.log if entry[3]]
    check(refused == ["type sine for the constant in block 1"], f"refused: {refused}")


def wine_pid():
    # winebus takes the wheel through hidraw, so Wine's DirectInput writes the PID reports itself.
    udevd()
    wheel = pid_wheel()
    udev_settled()
    wine = ["setarch", "x86_64", "-R", "wine", *EXE]
    pid_session(wheel, program=wine)
    print_reports("Wine's DirectInput", wheel)
    diagnose = Program(wine + ["--diagnose", "--device", "pid test wheel"])
    check(wait_for(lambda: "Move the wheel" in "".join(diagnose.out), 90), f"{diagnose.out}")
    diagnose.interrupt()
    for effect in ("GUID_ConstantForce", "GUID_Sine", "GUID_Square", "GUID_Damper"):
        check(f"  - {effect} (type" in "".join(diagnose.out), f"{effect}: {diagnose.out}")
    WHEELS.remove(wheel)
    wheel.unplug()
    pid_four_blocks(program=wine)


failed = 0
for name, case in (("worked example", worked_example), ("node not open to the user", no_access),
                   ("damper refused", damper_refused),
                   ("a wheel switched on after the bridge (--wait)", late_wheel),
                   ("PID wheel: worked example, input, stale, Ctrl+C", pid_linux),
                   ("PID wheel: unplugged and back", pid_replug),
                   ("PID wheel: four blocks", pid_four_blocks),
                   ("PID wheel: hid-pidff's Set Effect type", pid_kernel_fault),
                   ("PID wheel: the .exe on Wine's DirectInput over hidraw", wine_pid)):
    if os.environ.get("TORVANE_KERNEL_CASES", "") not in name or (case is wine_pid and not EXE):
        continue
    began = time.monotonic()
    try:
        case()
        print(f"ok: {name} ({time.monotonic() - began:.0f} s)")
    except Exception as error:  # one line per failed case, and on to the next
        failed += 1
        print(f"FAILED: {name}: {error}")
    kill_running()
    while WHEELS:
        WHEELS.pop().unplug()
print(f"{failed} failed")
sys.exit(1 if failed else 0)
