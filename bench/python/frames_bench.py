"""How long a converted 1920x1080 frame takes to become a numpy array in kx.

A 1920x1080 BGRA frame (random pixels, made here: the test camera delivers
640x480) goes through the loaded pixsieve filter as kx.Camera sends a camera's
frames, and the planar frame it returns is handed to numpy without a copy. The
native side times the hand-over, from the filter's return to the finished array
(FrameFilter.last_wrap_ns on the clock, last_wrap_cpu_ns of the thread's CPU: on a
busy machine the clock also counts the time other threads had). For scale: the whole convert() call, and a copy of the
same 6 MB into a new Fortran-ordered array, which is what the hand-over saves.
Then the rate at which kx.Camera delivers the generated test camera's frames
(30 a second as the camera states them) to a Python loop that takes every frame.

Run from the top of the source tree after `cmake --build --preset release`:

    PYTHONPATH=build-release/python /usr/bin/python3 bench/python/frames_bench.py

--frames N frames per run, --runs R runs (medians of the runs' medians),
--camera-frames N frames taken from the test camera per run.
"""

import argparse
import os
import statistics
import sys
import time

import numpy as np

import kx
from kx import _arguments, _native

HEIGHT, WIDTH = 1080, 1920


def one_run(converter, bgra, frames):
    wrap, wrap_cpu, call, copy = [], [], [], []
    for _ in range(frames):
        started = time.perf_counter_ns()
        image = converter.convert(bgra)
        call.append(time.perf_counter_ns() - started)
        wrap.append(converter.last_wrap_ns)
        wrap_cpu.append(converter.last_wrap_cpu_ns)
        assert _native.frame_memory(image)[0] == image.ctypes.data
        started = time.perf_counter_ns()
        copied = np.array(image, order="F", copy=True)
        copy.append(time.perf_counter_ns() - started)
        del image, copied
    return (statistics.median(wrap), statistics.median(wrap_cpu), statistics.median(call),
            statistics.median(copy), min(wrap))


def camera_rate(frames):
    """(frames a second by the frames' own time stamps, by the wall clock, dropped)
    of the test camera read frame by frame through kx."""
    with kx.Camera(kx.TEST_CAMERA) as camera:
        next(camera.frames(1, timeout=10))  # the pipeline is running
        started = time.perf_counter()
        stamps = [frame.timestamp for frame in camera.frames(frames, timeout=10)]
        wall = time.perf_counter() - started
        dropped = camera.dropped
    return (len(stamps) - 1) / (stamps[-1] - stamps[0]), len(stamps) / wall, dropped


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--frames", type=int, default=200)
    parser.add_argument("--runs", type=int, default=9)
    parser.add_argument("--camera-frames", type=int, default=150)
    arguments = parser.parse_args()
    converter = _native.FrameFilter(_arguments.plugin_folder())
    bgra = np.random.default_rng(1).integers(0, 256, (HEIGHT, WIDTH, 4), dtype=np.uint8)
    image = converter.convert(bgra)
    assert image.flags.f_contiguous and np.array_equal(image, bgra[:, :, [2, 1, 0]])
    del image
    results = [one_run(converter, bgra, arguments.frames) for _ in range(arguments.runs)]
    wrap, wrap_cpu, call, copy = (statistics.median(r[i] for r in results) for i in range(4))
    fastest = min(r[4] for r in results)
    print(f"{WIDTH}x{HEIGHT}: {arguments.runs} runs of {arguments.frames} frames, medians")
    print(f"  filter output to numpy array: {wrap_cpu / 1000:.2f} us of CPU (goal < 10 us); "
          f"on the clock {wrap / 1000:.2f} us, fastest {fastest / 1000:.2f} us "
          f"(load average {os.getloadavg()[0]:.1f})")
    print(f"  whole convert() call (copy in, pixsieve, hand-over): {call / 1e6:.2f} ms")
    print(f"  a copy of the image into a new Fortran array, for scale: {copy / 1e6:.2f} ms")
    rates = [camera_rate(arguments.camera_frames) for _ in range(3)]
    print(f"test camera through kx.Camera, 3 runs of {arguments.camera_frames} frames, medians:")
    print(f"  {statistics.median(r[0] for r in rates):.1f} frames a second by their time stamps, "
          f"{statistics.median(r[1] for r in rates):.1f} by the wall clock, "
          f"{statistics.median(r[2] for r in rates)} dropped")
    return 0 if wrap_cpu < 10_000 else 1


if __name__ == "__main__":
    sys.exit(main())
