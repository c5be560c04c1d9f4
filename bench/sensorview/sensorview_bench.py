#!/usr/bin/python3
"""sensorview under load: a simulated phone at about 1,000 readings a second and the
test camera's 640x480 frames at 30 a second, shown in three headless Chromium
browsers at once. Measures the server's CPU (per cent of one core, from
/proc/<pid>/stat) and, in each page, the time from a reading's arrival (the time
stamp the device gave it when its datagram came in) to the moment the page's
WebSocket handed it over; also the frames each page showed.

    /usr/bin/python3 bench/sensorview/sensorview_bench.py --bin build-release/bin

Goals: server CPU under 20 % of one core; arrival to page p99 under 50 ms. Not a
test: the figures depend on the machine and its load."""

import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools", "sensorview", "tests"))

from selenium import webdriver  # noqa: E402
from selenium.webdriver.chrome.service import Service  # noqa: E402

from sensorview_process import SensorView  # noqa: E402
from test_browser import CHROMEDRIVER, CHROMIUM, CHROMIUM_FLAGS, wait_for  # noqa: E402

TICKS_PER_SECOND = 333  # the text app sends three readings a tick: about 1,000 a second


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


def percentile(values, fraction):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(fraction * len(ordered)))]


def one_run(binaries, seconds, warm_up, browsers):
    with SensorView("--phone", "walk=text", "--camera", "videotestsrc",
                    "--max-clients", str(browsers)) as view, \
            tempfile.TemporaryDirectory(prefix="sensorview-bench-") as profiles:
        pages = [browser(os.path.join(profiles, str(i))) for i in range(browsers)]
        sender = None
        try:
            for page in pages:
                page.get(view.url)
                wait_for(page, "sensorview.connected && sensorview.hello !== null", 60, "connection")
            sender = subprocess.Popen([os.path.join(binaries, "phonesim"), "--app", "text",
                                       "--port", str(view.ports["walk"]),
                                       "--rate", str(TICKS_PER_SECOND),
                                       "--duration", str(warm_up + seconds + 5), "--quiet"])
            time.sleep(warm_up)
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
                    "frames": frames, "readings": readings, "samples": len(latencies)}
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
    cpu = statistics.median(run["cpu"] for run in runs)
    p99 = statistics.median(run["p99"] for run in runs)
    print("median of %d runs: server CPU %.1f %% of one core (goal < 20 %%); "
          "arrival to page p99 %.0f ms (goal < 50 ms); machine load %s"
          % (len(runs), cpu, p99, open("/proc/loadavg").read().split()[0]))


if __name__ == "__main__":
    main()
