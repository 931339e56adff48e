#!/usr/bin/env python3
"""A game's packets through torvane-adapt to the bridge: straight, curb corner, grass, silence.
Usage: adapt_e2e.py forza|f1|assetto BRIDGE ADAPT [-- LAUNCHER...]"""
import socket
import struct
import sys
import threading
import time

from harness import Bridge, Program, check, run_alone

DRIVE = {"straight": (3000, 0, 0, 0), "corner": (3000, 1, 2, 0), "grass": (7200, 0, 0, 4)}  # rpm, g, wheels


def forza(rpm, g, curb, grass, tick):  # Dash, 311 bytes
    return [struct.pack("<iI3ff92x4i16x4f147x", 1, tick, 8000, 800, rpm, g * 9.80665,
                        *([1] * curb + [0] * (4 - curb)), *[0.5 if grass else 0.02] * 4)]


def f1(rpm, g, curb, grass, tick):  # F1 25: Car Telemetry, Motion Ex, Motion; player in car 3
    head = [struct.pack("<HBBBBBQfIIBB", 2025, 25, 1, 0, 1, i, 7, 0, tick, tick, 3, 255) for i in (6, 13, 0)]
    surfaces = [7 if grass else 0] * 2 + [1] * curb + [0] * (2 - curb)  # RL, RR, FL, FR
    car = struct.pack("<HfffBbH38x4B", 108, 0.5, 0, 0, 0, 4, rpm, *surfaces)
    return [head[0] + bytes(180) + car + bytes(1083), head[1] + bytes(244),
            head[2] + bytes(216) + struct.pack("<3f", g * 2.0, 0, 1) + bytes(1092)]  # 2 g corner


def assetto(rpm, g, curb, grass, tick):  # RTCarInfo, 328 bytes: curb and grass only as bumps
    bump = (tick % 2) * 2 - 1 if curb or grass else 0
    return [struct.pack("<c3xi3f8xf24xf8xf140x2f108x", b"a", 328, 108, 67.1, 30, 1 + bump, 0.5, rpm,
                        30 * g, 30 * g)]  # speeds, accG_vertical, gas, engineRPM, front Mz


def run(game, bridge_program, adapt_program, launcher):
    make, port, rate, options = {"forza": (forza, 5400, 60, ["--forward", "5401"]), "f1": (f1, 20777, 60, []),
                                 "assetto": (assetto, 9996, 120, ["--mz-scale", "120"])}[game]
    sock, dashboard, forwarded = socket.socket(type=2), socket.socket(type=2), []  # UDP
    dashboard.bind(("127.0.0.1", 5401))
    threading.Thread(target=lambda: forwarded.extend(iter(lambda: dashboard.recv(2048), b"")), daemon=True).start()
    bridge = Bridge(launcher + [bridge_program])
    bridge.wait_for_output("Bridge active.")
    adapter = Program(launcher + [adapt_program, game] + options)
    adapter.wait_for_output("torvane-adapt: ")
    address = ("127.0.0.1", port)
    if game == "assetto":  # the game's side of the handshake
        sock.bind(address)
        sock.settimeout(60)
        request, address = sock.recvfrom(64)
        sock.sendto(bytes(408), address)  # the answer: names and two ints
        check(request + sock.recvfrom(64)[0] == struct.pack("<6i", 1, 1, 0, 1, 1, 1), "handshake")
    sock.sendto(b"stray", address)  # told at once; a second only counted
    sent, windows, tick = [b"stray"], {}, 0
    for name, state in DRIVE.items():
        start, end = bridge.clock(), time.monotonic() + 1.0
        while time.monotonic() < end:
            for packet in make(*state, tick):
                sock.sendto(packet, address)
                sent.append(packet)
            tick += 1
            time.sleep(1 / rate)
        windows[name] = (start, bridge.clock())
    sock.sendto(b"stray", address)
    sent.append(b"stray")
    time.sleep(0.5)  # the game stopped: so must the adapter and the bridge
    adapter.interrupt()
    err = "\n".join(adapter.err)
    check(game != "assetto" or sock.recv(64) == struct.pack("<3i", 1, 1, 3), "no dismissal")
    bridge.interrupt()
    told = f"skipped 1 packet that matches no {game} layout (the last of 5 bytes)"
    check(err.count("skipped") == 2 and told in err and " 2 skipped" in err, err)
    check(game != "forza" or forwarded == sent, f"forwarded {len(forwarded)} of {len(sent)}")

    rows = bridge.trace()
    windows = {name: [(t - bridge.clock_start_ns) / 1e6 for t in w] for name, w in windows.items()}
    part = {name: [r for r in rows if a + 150 <= r[0] <= b and r[9] == 1] for name, (a, b) in windows.items()}
    check(all(len(p) >= 20 for p in part.values()), f"{[len(p) for p in part.values()]} passes")
    check(all(r[1] == r[6] == 0 for r in part["straight"]), f"straight: {part['straight'][-1]}")
    corner = [r[1] for r in part["corner"]]  # half force at gain 0.1
    check(corner.count(-500) >= len(corner) - 3, f"corner: {sorted(set(corner))}")
    quiet = max(r[4] for r in part["straight"])
    curb = {r[4 if game == "assetto" else 6] for r in part["corner"]}  # assetto: a bumpy road
    check(max(curb) >= (quiet + 150 if game == "assetto" else 699), f"curb: {sorted(curb)}")
    check(max(r[4] for r in part["grass"]) >= quiet + 150, f"grass: {part['grass'][-1]}, road {quiet} before")
    check(8333 in {r[3] for r in part["grass"]}, "7200 rpm: no 8333 us engine period")
    late = [r for r in rows if r[0] > windows["grass"][1] + 300 and r[9] == 1]
    check(not late and rows[-1][9] == 0, f"played on after the game stopped: {late[:2]}")


if __name__ == "__main__":
    sys.exit(run_alone(f"adapt {sys.argv[1]}", run, *sys.argv[1:4], sys.argv[5:]))
