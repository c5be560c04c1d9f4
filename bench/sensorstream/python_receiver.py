#!/usr/bin/python3
"""The receiver a user would write in plain Python for the binary sensor app.

One socket with a 4 MiB receive buffer, the first sender's address only (as the
sensor devices do: other ports of it are heard), struct.unpack of
each record as kinescope reads it (acceleration in g times 9.81, the magnetic
field in millionths, the heading and the fix dropped when the app marks them
invalid), and one JSON line per reading with the arrival time. The reference
that reading_path_bench.py holds sensorstream against.

    /usr/bin/python3 python_receiver.py --port 50000 --output readings.jsonl

It prints "listening on UDP port N" on standard error; Ctrl-C (SIGINT) ends it
with "readings N".
"""

import argparse
import json
import signal
import socket
import struct
import sys
import time

GRAVITY = 9.81
MAGNETIC_SCALE = 1e6


def readings_of(record):
    """(Measurement, {field: value}) for each reading in one binary record."""
    kind = record[7] if len(record) > 7 else 0
    if kind == 0x20 and len(record) == 40:
        x, y, z = struct.unpack_from("<3d", record, 16)
        return [(1, {"X": x * GRAVITY, "Y": y * GRAVITY, "Z": z * GRAVITY})]
    if kind == 0x30 and len(record) == 40:
        x, y, z = struct.unpack_from("<3d", record, 16)
        return [(2, {"X": x, "Y": y, "Z": z})]
    if kind == 0x10 and len(record) == 64:
        true, magnetic, accuracy, x, y, z = struct.unpack_from("<6d", record, 16)
        field = (5, {"X": x / MAGNETIC_SCALE, "Y": y / MAGNETIC_SCALE, "Z": z / MAGNETIC_SCALE})
        if not accuracy >= 0.0:
            return [field]
        heading = {"TrueHeading": true, "MagneticHeading": magnetic, "HeadingAccuracy": accuracy}
        return [(3, heading), field]
    if kind == 0x40 and len(record) == 72:
        lat, lon, alt, h_acc, v_acc, course, speed = struct.unpack_from("<7d", record, 16)
        if not (h_acc >= 0.0 and v_acc >= 0.0):
            return []
        return [(4, {"Latitude": lat, "Longitude": lon, "HorizontalAccuracy": h_acc,
                     "Course": course, "Speed": speed}),
                (7, {"Altitude": alt, "VerticalAccuracy": v_acc})]
    return []


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--output", required=True)
    options = parser.parse_args()
    # Ctrl-C ends the receiver even when it was started with SIGINT ignored (as a
    # background job of a script), where Python would not raise KeyboardInterrupt.
    signal.signal(signal.SIGINT, signal.default_int_handler)

    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4 * 1024 * 1024)
    sock.bind(("127.0.0.1", options.port))
    print("listening on UDP port", sock.getsockname()[1], file=sys.stderr, flush=True)

    count = 0
    sender = None
    with open(options.output, "w") as out:
        try:
            while True:
                record, (host, _) = sock.recvfrom(128)
                sender = sender or host
                if host != sender:
                    continue
                arrived = time.time()
                for measurement, values in readings_of(record):
                    values["Measurement"] = measurement
                    values["Time"] = arrived
                    out.write(json.dumps(values) + "\n")
                    count += 1
        except KeyboardInterrupt:
            pass
    print("readings", count, file=sys.stderr, flush=True)


if __name__ == "__main__":
    main()
