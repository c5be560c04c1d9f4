#!/usr/bin/python3
"""sensorview under load: a simulated phone at about 1,000 readings a second and the
test camera's 640x480 frames at 30 a second, shown in three headless Chromium
browsers at once. Measures the server's CPU (per cent of one core, from
/proc/<pid>/stat) and, in each page, the time from a reading's arrival (the time
stamp the device gave it when its datagram came in) to the moment the page's
WebSocket handed it over (the page's worker takes the time in its message handler
before any work); beside it the same time in a plain client that reads at once and
draws nothing, which is the server's part and the machine's; also the frames each
page showed, and what a client that stalls (connects to the live WebSocket and
reads nothing for the whole run) is told it missed once it reads again.

    /usr/bin/python3 bench/sensorview/sensorview_bench.py --bin build-release/bin

Goals: server CPU under 20 % of one core; arrival to page p99 under 50 ms. Not a
test: the figures depend on the machine and its load."""

import argparse
import base64
import json
import os
import socket
import struct
import statistics
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools", "sensorview", "tests"))

from selenium import webdriver  # noqa: E402
from selenium.webdriver.chrome.service import Service  # noqa: E402

from sensorview_process import SensorView  # noqa: E402
from test_browser import CHROMEDRIVER, CHROMIUM, CHROMIUM_FLAGS, wait_for  # noqa: E402

TICKS_PER_SECOND = 333  # the text app sends three readings a tick: about 1,000 a second
# The readings' time stamps are the local time counted as UTC.
UTC_OFFSET_MS = -time.localtime().tm_gmtoff * 1000.0


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def browser(profile):
    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for flag in CHROMIUM_FLAGS + ["--user-data-dir=" + profile]:
        options.add_argument(flag)
    return webdriver.Chrome(service=Service(CHROMEDRIVER), options=options)


class LiveClient:
    """A WebSocket client of /live on a plain socket; receive_buffer sets the socket's
    receive buffer (bytes), else the system's default."""

    def __init__(self, url, receive_buffer=None):
        host, port = url.split("//")[1].rstrip("/").split(":")
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        if receive_buffer:
            self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, receive_buffer)
        self.sock.connect((host, int(port)))
        key = base64.b64encode(os.urandom(16)).decode()
        self.sock.sendall(("GET /live HTTP/1.1\r\nHost: %s:%s\r\nUpgrade: websocket\r\n"
                           "Connection: Upgrade\r\nSec-WebSocket-Key: %s\r\n"
                           "Sec-WebSocket-Version: 13\r\n\r\n" % (host, port, key)).encode())
        self.data = b""
        while b"\r\n\r\n" not in self.data:
            self.data += self.sock.recv(4096)
        assert self.data.startswith(b"HTTP/1.1 101"), self.data[:80]
        self.data = self.data.split(b"\r\n\r\n", 1)[1]
        self.kind, self.message = None, b""  # a message may come in several frames

    def receive(self, going):
        """Reads while going() says so (and the server has not closed), adding what
        comes to self.data; yields after each piece read."""
        self.sock.settimeout(0.2)
        while going():
            try:
                chunk = self.sock.recv(1 << 20)
            except socket.timeout:
                continue
            if not chunk:
                return
            self.data += chunk
            yield

    def messages(self):
        """The whole messages in what was read so far, as (opcode, payload)."""
        at = 0
        while at + 2 <= len(self.data):
            last, opcode = self.data[at] & 0x80, self.data[at] & 0x0F
            length, head = self.data[at + 1] & 0x7F, 2
            if length == 126:
                length, head = struct.unpack(">H", self.data[at + 2:at + 4])[0], 4
            elif length == 127:
                length, head = struct.unpack(">Q", self.data[at + 2:at + 10])[0], 10
            if at + head + length > len(self.data):
                break
            if opcode != 0:
                self.kind, self.message = opcode, b""
            self.message += self.data[at + head:at + head + length]
            at += head + length
            if last:
                yield self.kind, self.message
        self.data = self.data[at:]


class StalledClient(LiveClient):
    """Reads nothing until told to: its socket's small receive buffer fills, and
    the server's outbox for it overflows."""

    def __init__(self, url):
        super().__init__(url, receive_buffer=4096)

    def drain(self, seconds):
        """Reads for seconds; returns the readings and frames it got and the last
        misses it was told of."""
        deadline = time.monotonic() + seconds
        for _ in self.receive(lambda: time.monotonic() < deadline):
            pass
        readings = frames = 0
        missed = {"readings": 0, "frames": 0}
        for kind, message in self.messages():
            if kind == 2:
                frames += 1
            elif kind == 1:
                parsed = json.loads(message)
                if parsed["type"] == "readings":
                    readings += len(parsed["r"])
                elif parsed["type"] == "missed":
                    missed = parsed
        self.sock.close()
        return readings, frames, missed


class PromptClient(LiveClient):
    """Reads all the time on a thread of its own and draws nothing: the time from a
    reading's arrival to its coming out of this socket is the server's part of the
    page's figure, whatever the pages do with their processor."""

    def __init__(self, url):
        super().__init__(url)
        self.latencies = []
        self.running = True
        self.thread = threading.Thread(target=self._read, daemon=True)
        self.thread.start()

    def _read(self):
        for _ in self.receive(lambda: self.running):
            now = time.time() * 1000.0
            for kind, message in self.messages():
                if kind == 1 and message.startswith(b'{"type":"readings"'):
                    self.latencies += [now - (reading[1] + UTC_OFFSET_MS)
                                       for reading in json.loads(message)["r"]]

    def stop(self):
        self.running = False
        self.thread.join()
        self.sock.close()


def percentile(values, fraction):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(fraction * len(ordered)))]


def one_run(binaries, seconds, warm_up, browsers):
    with SensorView("--phone", "walk=text", "--camera", "videotestsrc",
                    "--max-clients", str(browsers + 2)) as view, \
            tempfile.TemporaryDirectory(prefix="sensorview-bench-") as profiles:
        pages = [browser(os.path.join(profiles, str(i))) for i in range(browsers)]
        sender = None
        try:
            for page in pages:
                page.get(view.url)
                wait_for(page, "sensorview.connected && sensorview.hello !== null", 60, "connection")
            stalled = StalledClient(view.url)
            prompt = PromptClient(view.url)
            stall_start = time.monotonic()
            sender = subprocess.Popen([os.path.join(binaries, "phonesim"), "--app", "text",
                                       "--port", str(view.ports["walk"]),
                                       "--rate", str(TICKS_PER_SECOND),
                                       "--duration", str(warm_up + seconds + 5), "--quiet"])
            time.sleep(warm_up)
            prompt.latencies = []
            for page in pages:
                page.execute_script("sensorview.latencies.length = 0;"
                                    "sensorview.benchFrames = sensorview.frames.shown;"
                                    "sensorview.benchReadings = 0;"
                                    "for (const m of Object.values(sensorview.phones.walk.measurements))"
                                    "  sensorview.benchReadings -= m.count;")
            cpu_start = cpu_seconds(view.process.pid)
            start = time.monotonic()
            time.sleep(seconds)
            cpu = (cpu_seconds(view.process.pid) - cpu_start) / (time.monotonic() - start)
            stall = time.monotonic() - stall_start
            prompt.stop()
            got, got_frames, missed = stalled.drain(3.0)
            latencies = []
            frames = []
            readings = []
            for page in pages:
                result = page.execute_script(
                    "let n = sensorview.benchReadings;"
                    "for (const m of Object.values(sensorview.phones.walk.measurements)) n += m.count;"
                    "return [sensorview.latencies.slice(), sensorview.frames.shown - sensorview.benchFrames,"
                    "        n, sensorview.missed];")
                latencies += result[0]
                frames.append(result[1] / seconds)
                readings.append(result[2] / seconds)
            return {"cpu": 100.0 * cpu, "p50": percentile(latencies, 0.50),
                    "p99": percentile(latencies, 0.99), "max": max(latencies),
                    "server_p50": percentile(prompt.latencies, 0.50),
                    "server_p99": percentile(prompt.latencies, 0.99),
                    "frames": frames, "readings": readings, "samples": len(latencies),
                    "stall": stall, "stalled_got": (got, got_frames), "stalled_missed": missed}
        finally:
            if sender:
                sender.kill()
                sender.wait()
            for page in pages:
                page.quit()


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--bin", default="build-release/bin", help="folder of sensorview and phonesim")
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--seconds", type=float, default=20.0, help="measured per run")
    parser.add_argument("--warm-up", type=float, default=5.0)
    parser.add_argument("--browsers", type=int, default=3)
    arguments = parser.parse_args()
    binaries = os.path.abspath(arguments.bin)
    os.environ["KX_SENSORVIEW"] = os.path.join(binaries, "sensorview")

    runs = []
    for number in range(arguments.runs):
        run = one_run(binaries, arguments.seconds, arguments.warm_up, arguments.browsers)
        runs.append(run)
        print("run %d: server CPU %.1f %% of a core; arrival to page p50 %.0f ms, p99 %.0f ms, "
              "max %.0f ms (%d readings); readings/s per page %s; frames/s per page %s"
              % (number + 1, run["cpu"], run["p50"], run["p99"], run["max"], run["samples"],
                 ", ".join("%.0f" % r for r in run["readings"]),
                 ", ".join("%.1f" % f for f in run["frames"])), flush=True)
        print("       of which the server's part (arrival to a client that reads at once and "
              "draws nothing): p50 %.0f ms, p99 %.0f ms" % (run["server_p50"], run["server_p99"]),
              flush=True)
        print("       a client stalled for %.0f s got %d readings and %d frames, and was told it "
              "missed %d readings and %d frames"
              % (run["stall"], run["stalled_got"][0], run["stalled_got"][1],
                 run["stalled_missed"]["readings"], run["stalled_missed"]["frames"]), flush=True)
    cpu = statistics.median(run["cpu"] for run in runs)
    p99 = statistics.median(run["p99"] for run in runs)
    print("median of %d runs: server CPU %.1f %% of one core (goal < 20 %%); "
          "arrival to page p99 %.0f ms (goal < 50 ms), server's part p99 %.0f ms; machine load %s"
          % (len(runs), cpu, p99, statistics.median(run["server_p99"] for run in runs),
             open("/proc/loadavg").read().split()[0]))


if __name__ == "__main__":
    main()
