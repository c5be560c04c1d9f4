"""Readings from phonesim through the loaded device and converter into numpy: every
datagram of the scenario arrives as the structures the device and the converter
make of it, in order, with the dtype's rules for time, names and missing values."""

import datetime
import gc
import os
import signal
import socket
import threading

import numpy as np
import pytest

import kx
from conftest import expected_readings, free_port, phonesim, wait_until

NAMES = {0: "other", 1: "acceleration", 2: "rotation rate", 3: "heading",
         4: "horizontal location", 5: "magnetic field", 6: "orientation",
         7: "vertical location"}
# Column of each converter field, from the dtype's own description.
DATA_COLUMNS = [name for name in kx.READING_DTYPE.names
                if kx.READING_DTYPE[name] == np.dtype("f8") and name != "monotonic"]
SOURCE = {name: "".join(part.capitalize() for part in name.split("_")) for name in DATA_COLUMNS}


def test_the_dtype_says_what_each_column_holds():
    dtype = kx.READING_DTYPE
    assert dtype.names[:4] == ("time", "monotonic", "measurement", "measurement_name")
    assert dtype["time"] == np.dtype("datetime64[ms]")
    assert dtype["monotonic"] == np.dtype("f8")
    assert dtype["measurement"] == np.dtype(np.int32)
    assert dtype["measurement_name"] == np.dtype("U19")
    # The converter's sixteen data fields, in its order, as float64.
    assert DATA_COLUMNS == ["latitude", "longitude", "altitude", "horizontal_accuracy",
                            "vertical_accuracy", "course", "speed", "true_heading",
                            "magnetic_heading", "heading_accuracy", "x", "y", "z",
                            "azimuth", "pitch", "roll"]
    assert len(dtype.names) == 4 + 16


@pytest.mark.parametrize("seed", [7])
def test_readings_are_the_scenarios(app, seed):
    sent, rate = 600, 200
    expected = expected_readings(app, seed, rate, sent)
    before = datetime.datetime.now()
    with kx.SensorStream(app, port=free_port(), bind="127.0.0.1") as stream:
        phonesim(app, stream.port, "--seed", seed, "--rate", rate, "--count", sent)
        rows = stream.read(len(expected), timeout=60)
        # The last datagrams may be fixes that make no reading: wait for them too.
        assert wait_until(lambda: stream.accounting.received == sent)
        # Nothing beyond what the scenario makes.
        assert len(stream.read(timeout=0)) == 0
        assert stream.phone_reached == "127.0.0.1"
    after = datetime.datetime.now()
    counts = stream.accounting

    assert len(rows) == len(expected)
    assert rows.dtype == kx.READING_DTYPE
    for i, (row, (measurement, fields)) in enumerate(zip(rows, expected)):
        assert row["measurement"] == measurement, i
        assert row["measurement_name"] == NAMES[measurement], i
        for column in DATA_COLUMNS:
            value = fields.get(SOURCE[column])
            if value is None:
                assert np.isnan(row[column]), (i, column)
            else:
                assert row[column] == value, (i, column)
    # Host time stamps: the local time of reception, in order, to the millisecond.
    times = rows["time"]
    assert np.all(times[1:] >= times[:-1])
    assert np.datetime64(before, "ms") - np.timedelta64(1, "s") <= times[0]
    assert times[-1] <= np.datetime64(after, "ms") + np.timedelta64(1, "s")

    # Every datagram accounted for: all from the one sender, none malformed.
    assert counts == kx.DatagramAccounting(received=sent, other_sender=0, delivered=sent,
                                       malformed=0, dropped_by_system=0)


def test_iteration_gives_reading_after_reading(app):
    expected = expected_readings(app, 3, 50, 12)
    with kx.SensorStream(app, port=free_port()) as stream:
        phonesim(app, stream.port, "--seed", 3, "--count", 12)
        first = []
        for reading in stream:
            assert isinstance(reading, np.void)
            assert reading.dtype == kx.READING_DTYPE
            first.append(reading)
            if len(first) == 5:
                break
        # Iterating took only what it gave: the rest is still there, in order.
        rest = stream.read(len(expected) - len(first), timeout=30)
    both = np.concatenate([np.array(first, dtype=kx.READING_DTYPE), rest])
    assert [r["measurement"] for r in both] == [m for m, _ in expected]


def test_other_senders_and_malformed_datagrams_are_counted():
    readings = len(expected_readings("text", 1, 50, 3))
    with kx.SensorStream("text", port=free_port()) as stream:
        phonesim("text", stream.port, "--seed", 1, "--count", 3)  # accepted: 127.0.0.1
        assert len(stream.read(readings, timeout=30)) == readings
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as same:
            same.bind(("127.0.0.1", 0))
            for datagram in (b"A,1,2\n", b"nonsense", b"A,1,1,1,x,0\n"):
                same.sendto(datagram, ("127.0.0.1", stream.port))
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as other:
            other.bind(("127.0.0.2", 0))
            other.sendto(b"A,1000,1,0.5,0.5,0.5\n", ("127.0.0.1", stream.port))
        assert wait_until(lambda: stream.accounting.received == 7)
        assert len(stream.read(timeout=0)) == 0
        counts = stream.accounting
    assert counts.other_sender == 1
    assert counts.delivered == 6
    assert counts.malformed == 3


def test_each_stream_counts_only_its_own_port():
    readings = len(expected_readings("text", 2, 50, 3))
    with kx.SensorStream("text", port=free_port()) as troubled, \
            kx.SensorStream("text", port=free_port()) as quiet:
        for stream in (troubled, quiet):
            phonesim("text", stream.port, "--seed", 2, "--count", 3)
            assert len(stream.read(readings, timeout=30)) == readings
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as same:
            same.bind(("127.0.0.1", 0))
            for datagram in (b"nonsense", b"A,1,1,1,x,0\n"):
                same.sendto(datagram, ("127.0.0.1", troubled.port))
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as other:
            other.bind(("127.0.0.2", 0))
            other.sendto(b"A,1000,1,0.5,0.5,0.5\n", ("127.0.0.1", troubled.port))
        assert wait_until(lambda: troubled.accounting.received == 6)
        # Every datagram sent to the first port is counted by now: none of them
        # may show on the second.
        assert troubled.accounting == kx.DatagramAccounting(
            received=6, other_sender=1, delivered=5, malformed=2, dropped_by_system=0)
        assert quiet.accounting == kx.DatagramAccounting(
            received=3, other_sender=0, delivered=3, malformed=0, dropped_by_system=0)
        port = troubled.port
    # A later stream on the same port starts from nothing.
    with kx.SensorStream("text", port=port) as later:
        assert later.accounting == kx.DatagramAccounting(0, 0, 0, 0, 0)
        phonesim("text", port, "--seed", 2, "--count", 3)
        assert wait_until(lambda: later.accounting.received == 3)
        assert later.accounting.delivered == 3 and later.accounting.malformed == 0


def test_ctrl_c_interrupts_a_waiting_read_and_loses_nothing():
    with kx.SensorStream("binary", port=free_port()) as stream:
        def interrupt_once_waiting():
            # Only another thread can see the read waiting: the wait releases the
            # interpreter lock.
            if wait_until(lambda: stream._native.waiting):
                os.kill(os.getpid(), signal.SIGINT)

        helper = threading.Thread(target=interrupt_once_waiting)
        helper.start()
        try:
            with pytest.raises(KeyboardInterrupt):
                stream.read(10)  # no limit: only the signal ends it
        finally:
            helper.join()
        # The stream goes on working, and what came meanwhile is read.
        expected = expected_readings("binary", 4, 50, 8)
        phonesim("binary", stream.port, "--count", 8, "--seed", 4)
        rows = stream.read(len(expected), timeout=30)
    assert [r["measurement"] for r in rows] == [m for m, _ in expected]


def test_a_taken_port_is_named(app):
    port = free_port()
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as holder:
        holder.bind(("127.0.0.1", port))
        with pytest.raises(kx.PortInUseError) as raised:
            kx.SensorStream(app, port=port)
    error = raised.value
    assert isinstance(error, OSError) and isinstance(error, kx.DeviceError)
    assert f"UDP port {port}" in str(error) and "in use" in str(error)
    assert error.identifier == "KORVEX:UDPListener:startUDPServer:unableToOpen"
    assert error.text == "Cannot start UDP server."
    assert error.port == port


def own_udp_ports():
    """The UDP ports this process has sockets bound to (others may bind them too)."""
    inodes = set()
    for fd in os.listdir("/proc/self/fd"):
        try:
            target = os.readlink(f"/proc/self/fd/{fd}")
        except OSError:
            continue
        if target.startswith("socket:["):
            inodes.add(target[8:-1])
    ports = set()
    with open("/proc/net/udp") as table:
        next(table)
        for line in table:
            fields = line.split()
            if fields[9] in inodes:
                ports.add(int(fields[1].split(":")[1], 16))
    return ports


def test_closing_stops_the_device_every_way():
    stream = kx.SensorStream("text", port=free_port())
    port = stream.port
    assert port in own_udp_ports()
    stream.close()
    stream.close()
    assert stream.closed and port not in own_udp_ports()
    with pytest.raises(ValueError, match="closed"):
        stream.read()

    with kx.SensorStream("text", port=free_port()) as stream:
        port = stream.port
    assert stream.closed and port not in own_udp_ports()

    stream = kx.SensorStream("binary", port=free_port())
    port = stream.port
    del stream
    gc.collect()
    assert port not in own_udp_ports()


def test_a_stream_waiting_in_read_ends_when_closed_from_another_thread():
    stream = kx.SensorStream("text", port=free_port())
    closer = threading.Thread(
        target=lambda: wait_until(lambda: stream._native.waiting) and stream.close())
    closer.start()
    rows = stream.read(5)  # no limit: only the close ends it
    closer.join()
    assert len(rows) == 0 and stream.closed
