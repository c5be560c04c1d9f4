"""How fast readings reach numpy through kx, against a plain-Python receiver.

phonesim sends the text app's scenario to 127.0.0.1 at about 20,000 datagrams a
second for 10 seconds (6666.7 motion ticks a second, three datagrams each, plus
two fixes a second), once into each receiver, one after the other:

  kx     kx.SensorStream("text"): the loaded kinedgram device and kineconvert,
         read in batches with read(); every datagram must be accounted for and
         every reading of the scenario read (zero loss). Reported: the reading
         thread's CPU time per reading inside read() while the stream runs, and
         the wall time per reading of read() on readings already queued (the
         cost of a batch read alone).
  plain  a socket and a loop that parses each text datagram into a dict and
         appends it to a list, what a user would write by hand. Reported: the
         datagrams it got of those sent, and its CPU time per datagram.

Run from the top of the source tree after `cmake --build --preset release`:

    PYTHONPATH=build-release/python /usr/bin/python3 bench/python/readings_bench.py

--runs N repeats each measurement N times and reports medians (default 3).
"""

import argparse
import os
import socket
import statistics
import subprocess
import sys
import threading
import time

import kx
from kx import _paths

BIN = os.path.join(os.path.dirname(_paths.PLUGIN_FOLDER), "bin")
RATE = 20000 / 3  # motion ticks a second: three datagrams each
SECONDS = 10
DATAGRAMS = int(RATE * 3 * SECONDS)
SEED = 11
BATCH = 10000


def free_port():
    """A UDP port of 127.0.0.1 free at the moment (the device's own search list may be
    held by other programs on a shared machine)."""
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def phonesim(port, datagrams):
    return subprocess.Popen([os.path.join(BIN, "phonesim"), "--quiet", "--app", "text",
                             "--port", str(port), "--seed", str(SEED), "--rate", f"{RATE:.3f}",
                             "--count", str(datagrams)])


def expected_reading_count(datagrams):
    done = subprocess.run([os.path.join(BIN, "kx_expected_readings"), "text", str(SEED),
                           f"{RATE:.3f}", str(datagrams)], capture_output=True, check=True)
    return done.stdout.count(b"\n")


def kx_run(expected):
    """One stream fed live: (readings, DatagramAccounting, CPU seconds inside read(), CPU
    seconds of the whole process: the device's receiving thread as well)."""
    process = time.process_time()
    with kx.SensorStream("text", port=free_port(), capacity=DATAGRAMS * 2) as stream:
        sender = phonesim(stream.port, DATAGRAMS)
        got = 0
        cpu = 0.0
        while got < expected:
            started = time.thread_time()
            rows = stream.read(min(BATCH, expected - got), timeout=30)
            cpu += time.thread_time() - started
            if len(rows) == 0:
                break
            got += len(rows)
        sender.wait()
        # The last datagrams may be fixes that make no reading: wait for them too.
        deadline = time.monotonic() + 30
        while stream.accounting.received < DATAGRAMS and time.monotonic() < deadline:
            time.sleep(0.01)
        # Nothing more may come: the scenario made exactly `expected` readings.
        extra = len(stream.read(timeout=0))
    return got + extra, stream.accounting, cpu, time.process_time() - process


def kx_queued_batch(datagrams):
    """Wall time per reading of read() on readings already queued."""
    with kx.SensorStream("text", port=free_port(), capacity=DATAGRAMS * 2) as stream:
        sender = phonesim(stream.port, datagrams)
        sender.wait()
        expected = expected_reading_count(datagrams)
        # Wait until the device has written them all into the queue.
        deadline = time.monotonic() + 60
        while stream._native.readings_written < expected and time.monotonic() < deadline:
            time.sleep(0.01)
        assert stream._native.readings_written == expected
        started = time.perf_counter()
        got = 0
        while got < expected:
            got += len(stream.read(min(BATCH, expected - got), timeout=0))
        return (time.perf_counter() - started) / got


def parse_text(datagram):
    """The text app's line as a dict, as a user would write it."""
    fields = datagram.decode("ascii").strip().split(",")
    kind = fields[0]
    reading = {"kind": kind, "phone_time": int(fields[1]), "sequence": int(fields[2])}
    values = [float(v) for v in fields[3:]]
    if kind == "A" or kind == "M":
        reading.update(x=values[0], y=values[1], z=values[2])
    elif kind == "O":
        reading.update(azimuth=values[0], pitch=values[1], roll=values[2])
    else:
        reading.update(altitude=values[0], latitude=values[1], longitude=values[2],
                       fix_time=values[3], accuracy=values[4], speed=values[5])
    return reading


def plain_run():
    """A socket and a parsing loop: (datagrams received, CPU seconds of the loop)."""
    receiver = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    receiver.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4 * 1024 * 1024)
    receiver.bind(("127.0.0.1", 0))
    receiver.settimeout(2.0)
    readings = []
    cpu = [0.0]

    def loop():
        started = time.thread_time()
        try:
            while True:
                readings.append(parse_text(receiver.recv(2048)))
        except socket.timeout:
            pass
        cpu[0] = time.thread_time() - started

    thread = threading.Thread(target=loop)
    thread.start()
    sender = phonesim(receiver.getsockname()[1], DATAGRAMS)
    sender.wait()
    thread.join()
    receiver.close()
    return len(readings), cpu[0]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--runs", type=int, default=3)
    runs = parser.parse_args().runs
    expected = expected_reading_count(DATAGRAMS)
    print(f"phonesim: {DATAGRAMS} text datagrams at {RATE * 3:.0f} a second "
          f"({expected} readings in the scenario); {runs} runs each")

    live_cost, process_cost, batch_cost, plain_cost, plain_got, lost = [], [], [], [], [], 0
    for run in range(runs):
        got, counts, cpu, process = kx_run(expected)
        ok = (got == expected and counts.received == counts.delivered == DATAGRAMS and
              counts.malformed == counts.other_sender == counts.dropped_by_system == 0)
        lost += 0 if ok else 1
        print(f"  kx run {run + 1}: {got} of {expected} readings, {counts}"
              f"{'' if ok else '  <-- LOSS'}")
        live_cost.append(cpu / got)
        process_cost.append(process / got)
        batch_cost.append(kx_queued_batch(DATAGRAMS // 4))
        received, cpu = plain_run()
        plain_got.append(received)
        plain_cost.append(cpu / max(received, 1))
        print(f"  plain run {run + 1}: {received} of {DATAGRAMS} datagrams")

    us = 1e6
    print(f"kx: every reading in {runs - lost} of {runs} runs")
    print(f"  reading thread's CPU time in read(): {statistics.median(live_cost) * us:.2f} us a "
          f"reading (median; goal < 2 us)")
    print(f"  wall time of read() on queued readings: {statistics.median(batch_cost) * us:.2f} us "
          f"a reading (median; the CPU is shared: load average {os.getloadavg()[0]:.1f})")
    print(f"  CPU time of the whole process (receiving thread too): "
          f"{statistics.median(process_cost) * us:.2f} us a reading (median)")
    print(f"plain Python: {statistics.median(plain_got)} of {DATAGRAMS} datagrams (median), "
          f"{statistics.median(plain_cost) * us:.2f} us CPU a datagram (median), "
          f"so at most {1 / statistics.median(plain_cost):.0f} datagrams a second")
    return 0 if lost == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
