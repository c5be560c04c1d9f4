#!/usr/bin/python3
"""Many phones through sensorstream to an MQTT broker and a subscriber.

--phones simulated phones (phonesim, the binary app, each on a port of its own on
127.0.0.1) send --rate readings a second each for --seconds into one sensorstream
with a --phone for each; sensorstream writes JSON lines to a file and publishes
every reading to a mosquitto broker of the bench's own (127.0.0.1, a free port,
its configuration in a temporary folder), where mosquitto_sub subscribes to every
topic at the same QoS and writes each message with the time it arrived.

Modes, one run each per --runs, one after the other:

  none   no --mqtt: what the reading path costs without the bridge
  qos0   --mqtt-qos 0
  qos1   --mqtt-qos 1

Reported per run and as medians over the runs:
  - readings output by sensorstream and their rate;
  - CPU per reading of sensorstream (user + system of the child, every thread,
    from wait4) and of the broker (its /proc/PID/stat times over the run);
  - readings lost between sensorstream's output and the subscriber (each reading
    is its JSON line, compared phone by phone, in order), and duplicates;
  - the latency from the datagram to the subscriber: the reading's Timestamp (the
    device stamps each buffer on arrival, local time to the millisecond) against
    the subscriber's arrival time; p50 and p99, so within a millisecond.

The broker keeps up to 1,000,000 messages queued for a subscriber (mosquitto's
default of 1000 drops messages for a subscriber that falls a second behind).

Run from the top of the source tree after `cmake --build --preset release`:

    /usr/bin/python3 bench/sensorstream/mqtt_bench.py --runs 3
"""

import argparse
import collections
import json
import os
import re
import signal
import socket
import statistics
import subprocess
import sys
import tempfile
import time

PREFIX = "bench"


def free_port(kind):
    with socket.socket(socket.AF_INET, kind) as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def free_udp_ports(count):
    ports = set()
    while len(ports) < count:
        ports.add(free_port(socket.SOCK_DGRAM))
    return sorted(ports)


def process_cpu_seconds(pid):
    """User + system time of a running process, from /proc/PID/stat."""
    with open(f"/proc/{pid}/stat") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    ticks = os.sysconf("SC_CLK_TCK")
    return (int(fields[11]) + int(fields[12])) / ticks


def load_average():
    with open("/proc/loadavg") as loadavg:
        return float(loadavg.read().split()[0])


def wait_until(condition, seconds, what):
    deadline = time.monotonic() + seconds
    while not condition():
        if time.monotonic() >= deadline:
            raise RuntimeError(f"timed out: {what}")
        time.sleep(0.05)


def line_count(path):
    with open(path, "rb") as text:
        return sum(1 for _ in text)


class Broker:
    """mosquitto on 127.0.0.1 and a free port, stopped by its process id."""

    def __init__(self, folder):
        self.port = free_port(socket.SOCK_STREAM)
        config = os.path.join(folder, "mosquitto.conf")
        with open(config, "w") as out:
            out.write(f"listener {self.port} 127.0.0.1\n"
                      "allow_anonymous true\n"
                      "persistence false\n"
                      "max_queued_messages 1000000\n")
        self.log = open(os.path.join(folder, "mosquitto.log"), "w")
        self.process = subprocess.Popen(["/usr/sbin/mosquitto", "-c", config],
                                        stdout=self.log, stderr=subprocess.STDOUT)

        def listening():
            with socket.socket() as probe:
                return probe.connect_ex(("127.0.0.1", self.port)) == 0
        wait_until(listening, 10, "the broker listens")

    def stop(self):
        self.process.send_signal(signal.SIGTERM)
        self.process.wait(timeout=20)
        self.log.close()


class Subscriber:
    """mosquitto_sub on every topic of the bench: "<arrival> <payload>" lines."""

    def __init__(self, folder, port, qos):
        self.path = os.path.join(folder, f"subscriber_qos{qos}.txt")
        self.out = open(self.path, "w")
        self.process = subprocess.Popen(
            ["mosquitto_sub", "-h", "127.0.0.1", "-p", str(port), "-q", str(qos),
             "-t", f"{PREFIX}/#", "-F", "%U %t %p"], stdout=self.out)
        # Subscribed once a message published now arrives.
        probe_topic = f"{PREFIX}/probe"

        def probed():
            subprocess.run(["mosquitto_pub", "-h", "127.0.0.1", "-p", str(port),
                            "-t", probe_topic, "-m", "probe"], check=True)
            time.sleep(0.1)
            with open(self.path) as text:
                return "probe" in text.read()
        wait_until(probed, 10, "the subscriber subscribes")

    def stop(self):
        self.process.send_signal(signal.SIGTERM)
        self.process.wait(timeout=20)
        self.out.close()

    def messages(self):
        """(arrival, topic, payload) of every reading, in arrival order."""
        found = []
        with open(self.path) as text:
            for line in text:
                arrival, topic, payload = line.rstrip("\n").split(" ", 2)
                if topic != f"{PREFIX}/probe":
                    found.append((float(arrival), topic, payload))
        return found


def timestamp_seconds(parts):
    """A reading's Timestamp (local calendar time) as seconds since the epoch."""
    year, month, day, hour, minute, second = parts
    whole = time.mktime((int(year), int(month), int(day), int(hour), int(minute),
                         int(second), 0, 0, -1))
    return whole + (second - int(second))


def percentile(values, fraction):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(fraction * len(ordered)))]


def run_once(options, mode, folder):
    phones = [f"p{i + 1:02d}" for i in range(options.phones)]
    ports = free_udp_ports(len(phones))
    output = os.path.join(folder, f"readings_{mode}.jsonl")
    command = [os.path.join(options.build, "bin", "sensorstream"), "--output", output]
    for name, port in zip(phones, ports):
        command += ["--phone", f"{name}=binary:{port}"]
    broker = subscriber = None
    if mode != "none":
        qos = 1 if mode == "qos1" else 0
        broker = Broker(folder)
        subscriber = Subscriber(folder, broker.port, qos)
        command += ["--mqtt", f"127.0.0.1:{broker.port}", "--mqtt-prefix", PREFIX,
                    "--mqtt-qos", str(qos)]
    errors = open(os.path.join(folder, f"sensorstream_{mode}.txt"), "w+")
    receiver = subprocess.Popen(command, stderr=errors)
    wanted = "mqtt: connected" if broker else "Ctrl-C stops"

    def announced():
        errors.seek(0)
        return wanted in errors.read()
    wait_until(announced, 20, "sensorstream starts")
    broker_cpu_before = process_cpu_seconds(broker.process.pid) if broker else 0.0

    # The binary app sends, each motion tick, an acceleration, a rotation rate and a
    # magnetic field with a heading: four readings.
    phonesim = os.path.join(options.build, "bin", "phonesim")
    started = time.monotonic()
    senders = [subprocess.Popen([phonesim, "--quiet", "--app", "binary", "--port", str(port),
                                 "--seed", str(i + 1), "--rate", str(options.rate / 4),
                                 "--duration", str(options.seconds)])
               for i, port in enumerate(ports)]
    for sender in senders:
        if sender.wait() != 0:
            raise RuntimeError("phonesim failed")
    receiver.send_signal(signal.SIGINT)
    _, status, usage = os.wait4(receiver.pid, 0)
    elapsed = time.monotonic() - started
    receiver.returncode = os.waitstatus_to_exitcode(status)
    errors.seek(0)
    summary = errors.read()
    errors.close()
    if receiver.returncode != 0:
        raise RuntimeError(f"sensorstream failed:\n{summary}")
    output_total = line_count(output)
    result = {
        "mode": mode,
        "readings": output_total,
        "rate": output_total / options.seconds,
        "sensorstream_us": (usage.ru_utime + usage.ru_stime) / output_total * 1e6,
        "load": load_average(),
    }
    if broker:
        wait_until(lambda: line_count(subscriber.path) >= output_total + 1, 60,
                   "the subscriber receives every reading")
        broker_cpu = process_cpu_seconds(broker.process.pid) - broker_cpu_before
        subscriber.stop()
        broker.stop()
        result.update(compare(output, subscriber.messages(), phones))
        result["broker_us"] = broker_cpu / output_total * 1e6
        published = [int(n) for n in re.findall(r"published (\d+)", summary)]
        result["published"] = sum(published)
    result["elapsed"] = elapsed
    return result


def compare(output, messages, phones):
    """Loss, duplicates, order and latency of the subscriber against the output."""
    sent = {name: [] for name in phones}
    with open(output) as text:
        for line in text:
            line = line.rstrip("\n")
            sent[json.loads(line)["Phone"]].append(line)
    received = {name: [] for name in phones}
    latencies = []
    for arrival, topic, payload in messages:
        reading = json.loads(payload)
        received[reading["Phone"]].append(payload)
        latencies.append((arrival - timestamp_seconds(reading["Timestamp"])) * 1000.0)
    # A phone may send the same reading twice within a millisecond (the same line):
    # each line may arrive as often as it was output.
    lost = duplicates = out_of_order = 0
    for name in phones:
        allowed = collections.Counter(sent[name])
        first = []
        for payload in received[name]:
            if allowed[payload] > 0:
                allowed[payload] -= 1
                first.append(payload)
            else:
                duplicates += 1
        missing = sum(allowed.values())
        lost += missing
        if missing == 0 and first != sent[name]:
            out_of_order += 1
    return {
        "lost": lost,
        "duplicates": duplicates,
        "phones_out_of_order": out_of_order,
        "p50_ms": percentile(latencies, 0.50) if latencies else float("nan"),
        "p99_ms": percentile(latencies, 0.99) if latencies else float("nan"),
    }


def describe(result):
    # A median of an even number of runs is a mean of two counts: shown whole too.
    text = (f"{result['mode']:5}  {result['readings']:7.0f} readings  {result['rate']:8.0f}/s  "
            f"sensorstream {result['sensorstream_us']:5.2f} us/reading")
    if "broker_us" in result:
        text += (f"  broker {result['broker_us']:5.2f} us/reading  lost {result['lost']:.0f}"
                 f"  duplicates {result['duplicates']:.0f}"
                 f"  phones out of order {result['phones_out_of_order']:.0f}"
                 f"  latency p50 {result['p50_ms']:.1f} ms  p99 {result['p99_ms']:.1f} ms")
    return text + f"  (load {result['load']:.2f})"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default="build-release")
    parser.add_argument("--phones", type=int, default=10)
    parser.add_argument("--rate", type=float, default=1000.0,
                        help="readings a second of each phone")
    parser.add_argument("--seconds", type=float, default=30.0)
    parser.add_argument("--runs", type=int, default=1)
    parser.add_argument("--modes", default="none,qos0,qos1")
    options = parser.parse_args()

    print(f"{options.phones} phones x {options.rate:.0f} readings/s for {options.seconds:.0f} s,"
          f" {options.runs} run(s)", flush=True)
    results = {mode: [] for mode in options.modes.split(",")}
    with tempfile.TemporaryDirectory(prefix="mqtt_bench_") as folder:
        for _ in range(options.runs):
            for mode in results:
                result = run_once(options, mode, folder)
                results[mode].append(result)
                print(describe(result), flush=True)
    print("medians:")
    for mode, runs in results.items():
        median = {key: statistics.median(run[key] for run in runs)
                  for key in runs[0] if key != "mode"}
        median["mode"] = mode
        print(describe(median))
    return 0


if __name__ == "__main__":
    sys.exit(main())
