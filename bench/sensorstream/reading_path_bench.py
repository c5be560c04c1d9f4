#!/usr/bin/python3
"""What one phone reading costs on sensorstream's path, against plain Python.

phonesim replays the same recording of the binary app's walk (kinescope records)
to 127.0.0.1 at --rate datagrams a second, once into each receiver, one after the
other, in every run:

  json    sensorstream --app binary --output FILE              (JSON lines)
  csv     sensorstream --app binary --format csv --output FILE
  python  python_receiver.py: a socket with a 4 MiB buffer, struct.unpack of each
          record, json.dumps of the values, one line per reading (the receiver a
          user would otherwise write; it runs on /usr/bin/python3)
  bare    sensorstream_bare_receiver (bare_receiver.cpp, built with the benchmarks):
          sensorstream's JSON lines written by one thread straight from the socket,
          without plug-ins, channel, output thread or host values; the floor of
          the kernel's receive and write and of the output format on this machine
          (left out when the build has no such program)

Each receiver is a child process; its CPU time (user + system, from wait4's
resource usage, every thread included) divided by the readings it wrote is its
cost per reading, start and end included. A receiver loses nothing when it wrote
every reading the recording makes. Reported: each run, then the medians over the
runs, the ratios python / json and json / bare (what sensorstream's design costs
above the floor), and the machine's load average while it ran.

Then the highest rate at which sensorstream (JSON lines to a file) loses nothing:
--search-seconds of datagrams at rising rates until sensorstream loses a reading or
the senders no longer reach the rate they were asked for (then the figure is the
senders' limit), --search-runs times, and the median of what the searches found.

One phonesim does not reliably reach 30,000 datagrams a second on a loaded 2-core
machine, so a rate is split among phonesims of at most --sender-rate each, all
sending the start of the recording from 127.0.0.1. The devices hear only the first
sender's address, but every port of it, so they hear them all (python_receiver.py
keeps the same rule); the readings expected are the recording's times the senders.

Run from the top of the source tree after `cmake --build --preset release`:

    /usr/bin/python3 bench/sensorstream/reading_path_bench.py --runs 5

--build names another build folder (it needs bin/sensorstream and bin/phonesim);
--phonesim another sender.
"""

import argparse
import os
import re
import signal
import socket
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from python_receiver import readings_of  # noqa: E402  (the same rules as kinescope's)

# The receivers that are sensorstream, whose threads are reported one by one.
SENSORSTREAM_RECEIVERS = ("json", "csv")
SEARCH_RATES = [30000, 50000, 75000, 100000, 150000, 200000, 300000, 400000]
# Asked-for rates the sender falls this far short of are its limit, not the receiver's.
SENDER_SHORTFALL = 0.9


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def load_average():
    with open("/proc/loadavg") as loadavg:
        return float(loadavg.read().split()[0])


def make_recording(phonesim, path, datagrams):
    """Records `datagrams` of the binary app's scenario (sent into a socket nobody reads)."""
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as sink:
        sink.bind(("127.0.0.1", 0))
        subprocess.run([phonesim, "--quiet", "--app", "binary", "--seed", "17", "--rate", "10000",
                        "--count", str(datagrams), "--port", str(sink.getsockname()[1]),
                        "--record", path], check=True)


def readings_per_datagram(path):
    """How many readings each recorded datagram makes, in order."""
    counts = []
    with open(path) as recording:
        for line in recording:
            if line.startswith("#") or not line.strip():
                continue
            counts.append(len(readings_of(bytes.fromhex(line.split()[1]))))
    return counts


def line_count(path):
    lines = 0
    with open(path, "rb") as text:
        for block in iter(lambda: text.read(1 << 20), b""):
            lines += block.count(b"\n")
    return lines


def wait_for_text(path, pattern, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        with open(path) as text:
            found = re.search(pattern, text.read())
        if found:
            return found
        time.sleep(0.02)
    raise RuntimeError(f"no '{pattern}' in {path} after {seconds} s")


def wait_until_still(path, quiet_seconds=1.0, most_seconds=60.0):
    """Waits until the file has not grown for quiet_seconds: the receiver is done."""
    deadline = time.monotonic() + most_seconds
    size, still_since = -1, time.monotonic()
    while time.monotonic() < deadline:
        now_size = os.path.getsize(path)
        if now_size != size:
            size, still_since = now_size, time.monotonic()
        elif time.monotonic() - still_since >= quiet_seconds:
            return
        time.sleep(0.1)


def thread_cpu(pid):
    """CPU seconds and wake-ups (voluntary context switches: each wait that slept) of
    each thread of a process, in the order the threads were made."""
    seconds, wakes = [], []
    for tid in sorted(int(t) for t in os.listdir(f"/proc/{pid}/task")):
        with open(f"/proc/{pid}/task/{tid}/schedstat") as schedstat:
            seconds.append(int(schedstat.read().split()[0]) / 1e9)
        with open(f"/proc/{pid}/task/{tid}/status") as status:
            found = re.search(r"^voluntary_ctxt_switches:\s+(\d+)", status.read(), re.M)
            wakes.append(int(found[1]))
    return seconds, wakes


class Receiver:
    """One receiver child: started, fed, stopped with SIGINT, its CPU time taken."""

    def __init__(self, name, command, output, port_pattern):
        self.name, self.output = name, output
        self.log = output + ".log"
        self.port = free_port()
        with open(self.log, "w") as log:
            self.process = subprocess.Popen(
                [part.replace("{port}", str(self.port)) for part in command],
                stdout=subprocess.DEVNULL, stderr=log, start_new_session=True)
        wait_for_text(self.log, port_pattern, 30)

    def finish(self):
        wait_until_still(self.output)
        self.threads, self.wakes = thread_cpu(self.process.pid)
        self.process.send_signal(signal.SIGINT)
        _, status, usage = os.wait4(self.process.pid, 0)
        self.process.returncode = os.waitstatus_to_exitcode(status)
        with open(self.log) as log:
            self.log_text = log.read()
        if self.process.returncode != 0:
            raise RuntimeError(f"{self.name} ended with {self.process.returncode}:\n"
                               f"{self.log_text}")
        return usage.ru_utime + usage.ru_stime


def receivers(build, folder):
    sensorstream = os.path.join(build, "bin", "sensorstream")
    listening = r"UDP port \d+"
    base = [sensorstream, "--app", "binary", "--port", "{port}", "--no-data-hint", "600"]
    python = ["/usr/bin/python3", os.path.join(HERE, "python_receiver.py"), "--port", "{port}"]
    bare = os.path.join(build, "bin", "sensorstream_bare_receiver")
    chosen = {
        "json": (base + ["--output", os.path.join(folder, "readings.jsonl")],
                 os.path.join(folder, "readings.jsonl"), listening, 0),
        "csv": (base + ["--format", "csv", "--output", os.path.join(folder, "readings.csv")],
                os.path.join(folder, "readings.csv"), listening, 1),
        "python": (python + ["--output", os.path.join(folder, "python.jsonl")],
                   os.path.join(folder, "python.jsonl"), listening, 0),
    }
    if os.path.exists(bare):
        output = os.path.join(folder, "bare.jsonl")
        chosen["bare"] = ([bare, "--port", "{port}", "--output", output], output, listening, 0)
    return chosen


def replay(phonesim, recording, port, rate, count, senders):
    """`senders` phonesims each send the first `count` recorded datagrams at rate / senders,
    all at once; (datagrams sent, seconds the slowest took)."""
    running = [subprocess.Popen([phonesim, "--replay", recording, "--rate", str(rate / senders),
                                 "--count", str(count), "--port", str(port)],
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
               for _ in range(senders)]
    total, slowest = 0, 0.0
    for sender in running:
        said, _ = sender.communicate()
        if sender.returncode != 0:
            raise RuntimeError(f"phonesim ended with {sender.returncode}: {said}")
        sent = re.search(r"sent (\d+) datagrams? in ([0-9.]+) s", said)
        total += int(sent.group(1))
        slowest = max(slowest, float(sent.group(2)))
    return total, slowest


def measure(name, setup, phonesim, recording, rate, count, expected, senders):
    command, output, pattern, header_lines = setup
    receiver = Receiver(name, command, output, pattern)
    sent, seconds = replay(phonesim, recording, receiver.port, rate, count, senders)
    cpu = receiver.finish()
    written = line_count(output) - header_lines
    return {"cpu": cpu, "readings": written, "lost": expected - written, "sent": sent,
            "seconds": seconds, "threads": receiver.threads,
            "wakes": receiver.wakes, "log": receiver.log_text}


def split(result):
    """sensorstream's threads by the order it starts them: main, device, output."""
    threads = result["threads"]
    if len(threads) != 3:
        return ""
    per = [micro(t, result["readings"]) for t in threads]
    return (f"  (device {per[1]:.2f}, output {per[2]:.2f}, main {per[0]:.2f}; "
            f"device wake-ups {result['wakes'][1] / result['sent']:.3f} per datagram)")


def micro(seconds, readings):
    return seconds / readings * 1e6 if readings else float("nan")


class Plan:
    """How a rate is sent: split among phonesims of at most sender_rate each, every one
    replaying the start of the same recording."""

    def __init__(self, sender_rate, per_datagram):
        self.sender_rate, self.per_datagram = sender_rate, per_datagram

    def senders(self, rate):
        return -(-rate // self.sender_rate)

    def share(self, rate, seconds):
        """Datagrams each sender replays: the first of the recording."""
        return int(rate * seconds / self.senders(rate))

    def readings(self, rate, seconds):
        """The readings every sender's share makes together: what a receiver must write."""
        return self.senders(rate) * sum(self.per_datagram[:self.share(rate, seconds)])


def prepare_recording(phonesim, path, datagrams):
    """Readings per datagram of a recording of at least `datagrams`, made when missing."""
    per_datagram = readings_per_datagram(path) if os.path.exists(path) else []
    if len(per_datagram) < datagrams:
        make_recording(phonesim, path, datagrams)
        per_datagram = readings_per_datagram(path)
    return per_datagram


def print_medians(results, loads):
    print("medians:")
    medians = {}
    for name, runs in results.items():
        medians[name] = statistics.median(micro(r["cpu"], r["readings"]) for r in runs)
        lossless = sum(1 for r in runs if r["lost"] == 0)
        threads = ""
        if name in SENSORSTREAM_RECEIVERS and all(len(r["threads"]) == 3 for r in runs):
            device = statistics.median(micro(r["threads"][1], r["readings"]) for r in runs)
            output = statistics.median(micro(r["threads"][2], r["readings"]) for r in runs)
            wakes = statistics.median(r["wakes"][1] / r["sent"] for r in runs)
            threads = (f" (device thread {device:.2f}, output thread {output:.2f}; device "
                       f"wake-ups {wakes:.3f} per datagram)")
        sent = statistics.median(r["sent"] / r["seconds"] for r in runs)
        print(f"  {name:8} {medians[name]:7.2f} us CPU per reading{threads}; "
              f"lost nothing in {lossless} of {len(runs)} runs; sent {sent:.0f}/s")
    if "bare" in medians:
        print(f"  json / bare: {medians['json'] / medians['bare']:.2f}x (sensorstream above the "
              f"floor: {medians['json'] - medians['bare']:.2f} us per reading); python / bare: "
              f"{medians['python'] / medians['bare']:.1f}x")
    print(f"  python / json: {medians['python'] / medians['json']:.1f}x; load average "
          f"median {statistics.median(loads):.1f} (min {min(loads):.1f}, "
          f"max {max(loads):.1f})")


def compare_receivers(options, plan, phonesim, recording, folder):
    """Every receiver on the same datagrams at options.rate, options.runs times."""
    rate = options.rate
    count = plan.share(rate, options.seconds)
    expected = plan.readings(rate, options.seconds)
    print(f"{count * plan.senders(rate)} datagrams at {rate}/s from {plan.senders(rate)} "
          f"phonesim ({expected} readings), {options.runs} runs; "
          f"{os.cpu_count()} CPUs, load average {load_average():.1f}")
    print(f"{'run':>3}  {'receiver':8} {'readings':>9} {'lost':>6} {'CPU s':>7} "
          f"{'us/reading':>10}  load  phonesim  (sensorstream's threads, us/reading)")
    results = {name: [] for name in receivers(options.build, folder)}
    loads = []
    for run in range(1, options.runs + 1):
        for name, setup in receivers(options.build, folder).items():
            load = load_average()
            loads.append(load)
            result = measure(name, setup, phonesim, recording, rate, count, expected,
                             plan.senders(rate))
            results[name].append(result)
            print(f"{run:>3}  {name:8} {result['readings']:>9} {result['lost']:>6} "
                  f"{result['cpu']:>7.3f} {micro(result['cpu'], result['readings']):>10.2f}"
                  f"  {load:.1f}  {result['sent'] / result['seconds']:.0f}/s sent"
                  f"{split(result) if name in SENSORSTREAM_RECEIVERS else ''}", flush=True)
    print_medians(results, loads)


def highest_lossless_rate(options, plan, phonesim, recording, folder):
    """Rising rates into sensorstream (JSON lines) until it loses a reading or the
    senders fall short of the rate; the last rate reached without a loss."""
    json_setup = receivers(options.build, folder)["json"]
    best, limit = None, "every rate tried"
    for rate in SEARCH_RATES:
        wanted = plan.readings(rate, options.search_seconds)
        result = measure("json", json_setup, phonesim, recording, rate,
                         plan.share(rate, options.search_seconds), wanted, plan.senders(rate))
        reached = result["sent"] / result["seconds"]
        print(f"    asked {rate}/s of {plan.senders(rate)} phonesim, sent {reached:.0f}/s, "
              f"lost {result['lost']} of {wanted}, "
              f"{micro(result['cpu'], result['readings']):.2f} us CPU per reading, "
              f"load {load_average():.1f}", flush=True)
        if result["lost"] != 0:
            return best, f"lost readings at {reached:.0f}/s"
        best = reached
        if reached < SENDER_SHORTFALL * rate:
            return best, "the senders' limit"
    return best, limit


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default="build-release")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--rate", type=int, default=30000, help="datagrams a second")
    parser.add_argument("--seconds", type=float, default=5.0, help="of datagrams per run")
    parser.add_argument("--sender-rate", type=int, default=15000,
                        help="datagrams a second one phonesim is asked for at most")
    parser.add_argument("--search-seconds", type=float, default=2.0)
    parser.add_argument("--search-runs", type=int, default=3)
    parser.add_argument("--no-search", action="store_true")
    parser.add_argument("--recording", help="reuse (or make once) this phonesim recording")
    parser.add_argument("--phonesim", help="the sender (default: the build's), to hold two "
                        "builds of sensorstream against the same one")
    options = parser.parse_args()

    phonesim = options.phonesim or os.path.join(options.build, "bin", "phonesim")
    with tempfile.TemporaryDirectory(prefix="reading_path_bench_") as folder:
        recording = options.recording or os.path.join(folder, "walk.txt")
        # Shares of the rate to compare at and of every rate searched: the recording
        # must hold the largest.
        sizing = Plan(options.sender_rate, [])
        most = max([sizing.share(options.rate, options.seconds)] +
                   [sizing.share(r, options.search_seconds) for r in SEARCH_RATES])
        plan = Plan(options.sender_rate, prepare_recording(phonesim, recording, most))
        compare_receivers(options, plan, phonesim, recording, folder)
        if options.no_search:
            return
        print("highest rate sensorstream (JSON lines to a file) loses nothing at:")
        found = []
        for run in range(1, options.search_runs + 1):
            print(f"  run {run}:")
            best, limit = highest_lossless_rate(options, plan, phonesim, recording, folder)
            found.append(best or 0)
            print(f"  run {run}: nothing lost up to {best or 0:.0f} datagrams/s ({limit})",
                  flush=True)
        print(f"  median: nothing lost up to {statistics.median(found):.0f} datagrams/s")


if __name__ == "__main__":
    main()
