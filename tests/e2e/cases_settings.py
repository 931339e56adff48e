"""The settings file: read at start, reloaded while the bridge runs, and written."""
import os
import subprocess
import tempfile
import time

from harness import TELEMETRY, WORKED_EXAMPLE, check, case, Bridge, Peer, playing_rows


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


@case
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
        check(bridge.err[:1] == [f"Settings from {path}"], f"no settings line{bridge.text()}")
        peer.send_for(0.5)
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


@case
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
