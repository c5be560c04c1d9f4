"""Shared helpers of kx's tests: phonesim and the expected readings of a scenario,
free UDP ports on 127.0.0.1, bounded waits."""

import json
import os
import socket
import subprocess
import sys
import time

import pytest

import kx
from kx import _paths

BIN = os.path.join(os.path.dirname(_paths.PLUGIN_FOLDER), "bin")
PHONESIM = os.environ.get("KX_PHONESIM") or os.path.join(BIN, "phonesim")
EXPECTED_READINGS = os.environ.get("KX_EXPECTED_READINGS") or os.path.join(
    BIN, "kx_expected_readings")


def phonesim(app, port, *arguments, timeout=120):
    """Runs phonesim to its end, sending to 127.0.0.1:port; its completed process."""
    done = subprocess.run([PHONESIM, "--quiet", "--app", app, "--port", str(port),
                           *map(str, arguments)],
                          capture_output=True, text=True, timeout=timeout)
    assert done.returncode == 0, done.stderr
    return done


def expected_readings(app, seed, rate, count):
    """What the device and the converter make of phonesim's first count datagrams:
    a list of (measurement, {converter field name: value})."""
    done = subprocess.run([EXPECTED_READINGS, app, str(seed), str(rate), str(count)],
                          capture_output=True, text=True, check=True)
    return [(line["measurement"], line["fields"])
            for line in map(json.loads, done.stdout.splitlines())]


def free_port():
    """A UDP port of 127.0.0.1 that nothing holds at the moment, from the system.

    The tests give their streams such a port rather than 0: the device's search
    goes through a fixed list of ports, which other programs on a shared machine
    may hold, and the search is the device's own tests' subject.
    """
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def wait_until(condition, seconds=30.0):
    """Polls condition until it holds; False when seconds pass first."""
    deadline = time.monotonic() + seconds
    while not condition():
        if time.monotonic() >= deadline:
            return False
        time.sleep(0.005)
    return True


@pytest.fixture(params=kx.APPS)
def app(request):
    """Each phone app in turn."""
    return request.param


@pytest.fixture
def python():
    """The interpreter running the tests (Debian's own)."""
    return sys.executable
