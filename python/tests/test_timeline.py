"""One timeline: every reading and every frame kx hands out carries when it arrived,
on the computer's monotonic clock (the clock of time.monotonic()). Readings of one
walk, frames grabbed next and readings of a second walk, all on this thread one
after the other, come out in that order on that one clock, between the instants
this thread read before and after each part."""

import math
import time

import numpy as np

import kx
from conftest import expected_readings, free_port, phonesim

RATE, COUNT = 100, 60


def walk(app, stream, seed):
    """Sends a walk to stream and reads every reading it makes; the readings and
    the monotonic instants just before sending and just after reading."""
    wanted = len(expected_readings(app, seed, RATE, COUNT))
    sent_at = time.monotonic()
    phonesim(app, stream.port, "--seed", seed, "--rate", RATE, "--count", COUNT)
    rows = stream.read(wanted, timeout=60)
    read_at = time.monotonic()
    assert len(rows) == wanted
    return rows, sent_at, read_at


def test_readings_and_frames_are_on_one_clock(app):
    with kx.SensorStream(app, port=free_port(), bind="127.0.0.1") as stream:
        first, first_sent, first_read = walk(app, stream, 1)
        with kx.Camera(kx.TEST_CAMERA) as camera:
            frames = list(camera.frames(3, timeout=30))
        camera_closed = time.monotonic()
        second, second_sent, second_read = walk(app, stream, 3)

    frame_times = np.array([frame.monotonic for frame in frames])
    assert len(frame_times) == 3
    for series in (first["monotonic"], frame_times, second["monotonic"]):
        assert all(math.isfinite(t) for t in series)
        # One device's thread hands them over in the order they arrived.
        assert np.all(series[1:] >= series[:-1])

    # Each part arrived while this thread waited for it...
    assert first_sent <= first["monotonic"][0] and first["monotonic"][-1] <= first_read
    assert first_read < frame_times[0] and frame_times[-1] < camera_closed
    assert second_sent <= second["monotonic"][0] and second["monotonic"][-1] <= second_read
    # ...so that readings and frames together are in the order they came in.
    timeline = np.concatenate([first["monotonic"], frame_times, second["monotonic"]])
    assert np.all(timeline[1:] >= timeline[:-1])


def test_a_reading_read_by_iteration_carries_its_arrival(app):
    with kx.SensorStream(app, port=free_port(), bind="127.0.0.1") as stream:
        sent_at = time.monotonic()
        phonesim(app, stream.port, "--seed", 2, "--rate", RATE, "--count", 5)
        reading = next(iter(stream))
        read_at = time.monotonic()
    assert sent_at <= reading["monotonic"] <= read_at
