#!/usr/bin/env python3
"""Tests of "--page": page_e2e.py CASE [CASE...] -- [LAUNCHER...] PROGRAM
browser needs /usr/bin/python3 (selenium); it saves the page to TORVANE_PAGE_SCREENSHOT at its
end, after 25 s of the lap TORVANE_PAGE_LAP (JSON lines) if set."""
import http.client
import json
import os
import socket
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import (Bridge, Peer, Sender, WORKED_EXAMPLE, case, check, main,  # noqa: E402
                     playing_rows, wait_for)

PORT = 8768
ORIGIN = f"http://127.0.0.1:{PORT}"


def start(command, *options):
    bridge = Bridge(command, "--page", "--monitor", *options)
    bridge.wait_for_output("Live page: ")
    line = next(l for l in bridge.out if l.startswith("Live page: "))
    check(line.startswith(f"Live page: {ORIGIN}/#"), line)
    return bridge, line.split("#", 1)[1]


def request(method, path, body=None, headers=None):
    connection = http.client.HTTPConnection("127.0.0.1", PORT, timeout=10)
    connection.request(method, path, body=body, headers=headers or {})
    response = connection.getresponse()
    data = response.read()
    connection.close()
    return response.status, response.getheaders(), data


def change(token, name, value, body=None, **override):
    headers = {"Content-Type": "application/json", "Origin": ORIGIN, "X-Torvane-Token": token}
    headers.update(override)
    return request("POST", "/settings", body or json.dumps({"name": name, "value": value}),
                   headers)[0]


def gain():
    return next(s["value"] for s in json.loads(request("GET", "/settings")[2]) if s["name"] == "gain")


def stream():
    """An /events client that reads nothing: its status line, or None while still waiting."""
    client = socket.socket()
    client.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
    client.connect(("127.0.0.1", PORT))
    client.sendall(f"GET /events HTTP/1.1\r\nHost: 127.0.0.1:{PORT}\r\n\r\n".encode())
    client.settimeout(5)
    return client, client.recv(64).split(b"\r\n")[0]


def fresh_stream():
    """A stream's status line, the stream closed at once; paced, so that polling stays light."""
    client, status = stream()
    client.close()
    time.sleep(0.2)
    return status


@case
def case_security(command):
    bridge, token = start(command)
    status, headers, _ = request("GET", "/")
    names = {k.lower(): v for k, v in headers}
    check(status == 200 and names.get("content-security-policy") ==
          "default-src 'self'; frame-ancestors 'none'" and
          not any(k.startswith("access-control") for k in names), f"page: {status} {headers}")
    check(request("GET", "/", headers={"Host": f"evil.example:{PORT}"})[0] == 421, "foreign Host")
    refused = [change("", "gain", 0.3), change(token, "gain", 0.3, Origin="http://evil.example"),
               change(token, "gain", 0.3, **{"Content-Type": "application/x-www-form-urlencoded"}),
               change(token, "gain", 0.3, Host=f"evil.example:{PORT}")]
    check(refused == [403, 403, 403, 421] and gain() == 0.1, f"refused {refused}, gain {gain()}")
    check(change(token, "gain", 9) == 200 and gain() == 0.35, "a gain of 9 not held to 0.35")
    statuses = [change(token, "gain", 0.1) for _ in range(30)]
    check(statuses.count(429) >= 9, f"30 changes at once: {statuses}")
    big = change(token, "gain", 0.1, body="x" * 100000)
    check(big == 413, f"a 100 kB body: {big}")
    # Four streams that never read, then a fifth refused; the loop keeps its pace meanwhile.
    clients = [stream() for _ in range(5)]
    check([s for _, s in clients] == [b"HTTP/1.1 200 OK"] * 4 + [b"HTTP/1.1 503 Service Unavailable"],
          f"five streams: {[s for _, s in clients]}")
    with Peer():
        sender = Sender()
        wait_for(lambda: fresh_stream() == b"HTTP/1.1 200 OK", 30, what="stalled streams dropped")
        sender.stop()
        bridge.interrupt()
    for client, _ in clients:
        client.close()
    times = [r[0] for r in playing_rows(bridge.trace())]
    gaps = sorted(b - a for a, b in zip(times, times[1:]))
    check(len(gaps) > 300 and gaps[len(gaps) // 2] < 8 and gaps[-1] < 100,
          f"passes with stalled clients: median {gaps[len(gaps) // 2]} ms, worst {gaps[-1]} ms")


def browser():
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for flag in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
                 "--disable-component-update", "--disable-sync", "--no-first-run",
                 "--window-size=1400,1000", f"--user-data-dir={tempfile.mkdtemp()}"):
        options.add_argument(flag)
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)


@case
def case_browser(command):
    handle, config = tempfile.mkstemp(suffix=".toml")
    os.close(handle)
    with open(config, "w", encoding="utf-8") as f:
        f.write("gain = 0.1\n")
    bridge, token = start(command, "--config", config)
    driver = browser()
    text = lambda id: driver.find_element("id", id).text  # noqa: E731
    try:
        with Peer():  # a game that listens to the reports too
            driver.get(f"{ORIGIN}/#{token}")
            sender = Sender()
            wait_for(lambda: text("playing") == "playing" and text("v-constant") == "-4.2 %",
                     what="the worked example on the page")
            check(text("v-engine") == "6.6 %" and text("v-damper") == "2.5 %" and
                  text("v-requested") == "-4.2 %", f"page shows {text('v-engine')}, {text('v-damper')}")
            driver.execute_script("const s = document.getElementById('setting-gain');"
                                  "s.value = 0.2; s.dispatchEvent(new Event('input'));")
            wait_for(lambda: text("v-constant") == "-8.4 %", what="-8.4 % after the gain slider")
            check('"fanatec"' in text("settings"), "the device setting is not on the page")
            check("unsaved" in driver.find_element("css selector", ".setting").get_attribute("class"),
                  "the changed gain is not marked unsaved")
            driver.find_element("id", "save").click()
            wait_for(lambda: "gain = 0.2" in open(config).read(), what="gain = 0.2 in the file")
            wait_for(lambda: f"Settings reloaded from {config}: gain 0.1 -> 0.2" in bridge.err,
                     what="the reload line")
            clip = float(text("clip").split()[0])
            sender.message = WORKED_EXAMPLE.replace(b"-0.42", b"-3")
            wait_for(lambda: float(text("clip").split()[0]) > clip + 10, what="clipping rising")
            for path in filter(None, [os.environ.get("TORVANE_PAGE_LAP")]):  # the last shown playing
                for line in open(path, "rb").read().splitlines()[:2500]:
                    sender.message = line
                    time.sleep(0.01)
            if os.environ.get("TORVANE_PAGE_SCREENSHOT"):
                driver.execute_script("window.scrollTo(0, 0)")
                driver.save_screenshot(os.environ["TORVANE_PAGE_SCREENSHOT"])
            sender.stop()
        bridge.interrupt()
    finally:
        driver.quit()
        os.unlink(config)
    sent = [r[1] for r in playing_rows(bridge.trace())]
    check(-420 in sent and -840 in sent and sent.index(-840) > sent.index(-420),
          "the trace lacks the gain's step from -420 to -840")


if __name__ == "__main__":
    sys.exit(main(sys.argv))
