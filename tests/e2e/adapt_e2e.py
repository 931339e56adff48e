#!/usr/bin/env python3
"""torvane-adapt with the shipped program: a scripted drive in one game's packet format goes to
the adapter, which plays it to torvane-bridge on its virtual wheel.

    adapt_e2e.py FORMAT BRIDGE ADAPT [-- LAUNCHER...]

FORMAT is forza, f1 or assetto; the programs are the Linux binaries, or the .exe files with a
launcher such as cmake/wine-run.sh PREFIX. This script is the game: it sends the packets as the
format's published layout has them (for Assetto Corsa after answering the handshake). The drive
is a straight, a steady right-hand corner, a curb, the grass and high revs, then the game stops;
the bridge's trace must show each as docs/adapters.md says. Prints "adapt FORMAT: ok" or
"adapt FORMAT: FAILED: why".
"""
import signal
import socket
import struct
import subprocess
import sys
import threading
import time

from e2e import Bridge, Failure, check

PHASE = 0.7  # seconds of each part of the drive
G = 9.80665
FORWARD_PORT = 5401
PORTS = {"forza": 5400, "f1": 20777, "assetto": 9996}
RATE = {"forza": 60, "f1": 60, "assetto": 120}
# The drive: revs, lateral g (positive: the car's right, as in a right-hand corner), wheels on
# the curb, wheels on grass.
DRIVE = [("straight", 3000, 0.0, 0, 0), ("corner", 3000, 1.0, 0, 0), ("curb", 3000, 0.0, 2, 0),
         ("offroad", 3000, 0.0, 0, 4), ("revs", 7200, 0.0, 0, 0)]


def forza(rpm, lateral_g, curb, grass, tick):
    """A Dash packet (311 bytes): IsRaceOn, revs, AccelerationX, rumble strips, SurfaceRumble."""
    packet = bytearray(311)
    struct.pack_into("<iI3f3f", packet, 0, 1, tick, 8000.0, 800.0, rpm, lateral_g * G, 0.0, 0.0)
    struct.pack_into("<4i", packet, 116, *([1] * curb + [0] * (4 - curb)))
    struct.pack_into("<4f", packet, 148, *([0.5 if grass else 0.02] * 4))
    struct.pack_into("<f", packet, 244, 30.0)  # Speed, m/s
    return [bytes(packet)]


def f1(rpm, lateral_g, curb, grass, tick):
    """F1 25: Car Telemetry, Motion Ex, then Motion (which sends the frame), player in car 3."""
    def header(packet_id, size):
        packet = bytearray(size)
        struct.pack_into("<HBBBBBQfIIBB", packet, 0, 2025, 25, 1, 0, 1, packet_id, 7, tick / 60.0,
                         tick, tick, 3, 255)
        return packet
    car = 29 + 3 * 60
    telemetry = header(6, 1352)
    surfaces = [7 if grass else 0] * 2 + [1] * curb + [0] * (2 - curb)  # RL, RR, FL, FR
    struct.pack_into("<Hf", telemetry, car, 108, 0.5)  # km/h, throttle
    struct.pack_into("<H", telemetry, car + 16, rpm)
    struct.pack_into("<4B", telemetry, car + 56, *surfaces)
    motion = header(0, 1349)
    struct.pack_into("<3f", motion, car + 36, lateral_g * 2.0, 0.0, 1.0)  # F1 cars: 2 g steady
    return [bytes(telemetry), bytes(header(13, 273)), bytes(motion)]


def assetto(rpm, lateral_g, curb, grass, tick):
    """RTCarInfo (328 bytes): speed, revs, gas, and the front tyres' Mz; the curb and the grass
    have no field of their own here, so they come as bumps of the vertical acceleration."""
    packet = bytearray(328)
    struct.pack_into("<ci3f", packet, 0, b"a", 328, 108.0, 67.1, 30.0)
    bump = (1.0 if tick % 2 else -1.0) if (curb or grass) else 0.0
    struct.pack_into("<f", packet, 28, 1.0 + bump)  # accG_vertical
    struct.pack_into("<f", packet, 56, 0.5)  # gas
    struct.pack_into("<f", packet, 68, float(rpm))
    struct.pack_into("<2f", packet, 212, 30.0 * lateral_g, 30.0 * lateral_g)  # Mz FL, FR
    return [bytes(packet)]


PACKETS = {"forza": forza, "f1": f1, "assetto": assetto}


def receive_all(dashboard, received):
    """The dashboard's side of --forward: keeps every packet until the socket stays quiet."""
    try:
        received.append(dashboard.recv(2048))
        dashboard.settimeout(1.0)
        while True:
            received.append(dashboard.recv(2048))
    except socket.timeout:
        dashboard.close()


def assetto_handshake(game):
    """Plays the game's side of the handshake; returns the adapter's address."""
    request, adapter = game.recvfrom(64)
    check(request == struct.pack("<3i", 1, 1, 0), f"handshake {request!r}")
    game.sendto(b"\0" * 408, adapter)  # car, driver, track and configuration names, ints
    request, adapter = game.recvfrom(64)
    check(request == struct.pack("<3i", 1, 1, 1), f"subscription {request!r}")
    return adapter


def run(game_format, bridge_program, adapt_program, launcher):
    arguments = ["--mz-scale", "120"] if game_format == "assetto" else []
    if game_format == "forza":
        arguments += ["--forward", str(FORWARD_PORT)]
    game = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    dashboard = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    dashboard.bind(("127.0.0.1", FORWARD_PORT))
    forwarded = []
    receiver = threading.Thread(target=receive_all, args=(dashboard, forwarded), daemon=True)
    receiver.start()
    destination = ("127.0.0.1", PORTS[game_format])
    if game_format == "assetto":
        game.bind(destination)
        game.settimeout(60)
    adapter = None
    try:
        bridge = Bridge(launcher + [bridge_program])
        bridge.wait_for_output("Bridge active.")
        adapter = subprocess.Popen(launcher + [adapt_program, game_format] + arguments,
                                   stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                   stderr=subprocess.PIPE)
        Bridge.running.append(adapter)
        check(b"torvane-adapt: " in adapter.stdout.readline(), "the adapter did not start")
        if game_format == "assetto":
            destination = assetto_handshake(game)
        sent, windows, tick = [], {}, 0
        for name, rpm, lateral_g, curb, grass in DRIVE:
            start = bridge.clock()
            end = time.monotonic() + PHASE
            while time.monotonic() < end:
                for packet in PACKETS[game_format](rpm, lateral_g, curb, grass, tick):
                    game.sendto(packet, destination)
                    sent.append(packet)
                tick += 1
                time.sleep(1.0 / RATE[game_format])
            windows[name] = (start, bridge.clock())
        time.sleep(0.5)  # the game has stopped: so must the adapter, and the bridge after it
        adapter.send_signal(signal.SIGINT)
        _, adapt_err = adapter.communicate(timeout=60)
        if game_format == "assetto":
            check(game.recvfrom(64)[0] == struct.pack("<3i", 1, 1, 3), "no dismissal at the end")
        bridge.process.send_signal(signal.SIGINT)
        code = bridge.finish()
    finally:
        game.close()
        for process in (adapter, bridge.process if "bridge" in locals() else None):
            if process is not None and process.poll() is None:
                process.kill()
    check(adapter.returncode == 0, f"adapter exit {adapter.returncode}: {adapt_err!r}")
    check(b" 0 skipped" in adapt_err, f"the adapter skipped packets: {adapt_err!r}")
    check(code == 0, f"bridge exit code {code}{bridge.text()}")
    if game_format == "forza":
        receiver.join(5)
        check(forwarded == sent, f"forwarded {len(forwarded)} of {len(sent)} packets unchanged")
    check_trace(game_format, bridge, windows)


def check_trace(game_format, bridge, windows):
    rows = bridge.trace()

    def during(name):
        """The rows of a part of the drive, from 150 ms in (the message takes a pass or two)."""
        start, end = ((t - bridge.clock_start_ns) / 1e6 for t in windows[name])
        return [r for r in rows if start + 150 <= r[0] <= end and r[9] == 1]

    for name in windows:
        check(len(during(name)) >= 20, f"{name}: only {len(during(name))} passes played")
    straight = during("straight")
    check(all(r[1] == 0 and r[6] == 0 for r in straight), f"straight: {straight[-1]}")
    # Gain 0.1 and half of full force: -500 units, negative as the bridge's right-handers are.
    corner = [r[1] for r in during("corner")]
    check(corner.count(-500) >= len(corner) - 3, f"steady corner: constant {sorted(set(corner))}")
    quiet_road = max(r[4] for r in straight)
    if game_format == "assetto":  # no surface fields: curb and grass are felt as bumps
        for name in ("curb", "offroad"):
            road = max(r[4] for r in during(name))
            check(road >= quiet_road + 150, f"{name}: road texture {road}, {quiet_road} before")
    else:
        curb = {r[6] for r in during("curb")}
        # Two wheels on the strip: 0.7 at gain 0.1, truncated to units (0.07 * 10000 is 699.99...).
        check(curb & {699, 700}, f"curb: magnitudes {sorted(curb)}")
        road = {r[4] for r in during("offroad")}
        check(min(road) >= quiet_road + 150, f"grass: road texture {sorted(road)}, {quiet_road} before")
    periods = {r[3] for r in during("revs")}
    check(8333 in periods, f"7200 rpm: engine periods {sorted(periods)} (expected 8333 us)")
    # The game stopped: the adapter sent nothing more, so the bridge stopped 100 ms later.
    stopped = (windows["revs"][1] - bridge.clock_start_ns) / 1e6 + 300
    late = [r for r in rows if r[0] > stopped and r[9] == 1]
    check(not late and rows[-1][9] == 0, f"still playing after the game stopped: {late[:2]}")


def main(argv):
    if len(argv) < 4 or argv[1] not in PACKETS or (len(argv) > 4 and argv[4] != "--"):
        print(__doc__, file=sys.stderr)
        return 2
    try:
        run(argv[1], argv[2], argv[3], argv[5:])
    except (Failure, subprocess.TimeoutExpired, socket.timeout) as failure:
        print(f"adapt {argv[1]}: FAILED: {failure}")
        return 1
    print(f"adapt {argv[1]}: ok")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
