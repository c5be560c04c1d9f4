"""Camera frames through the loaded capture device and filter into numpy: each
image is the filter's planar output itself (no copy, Fortran order), equal to the
conversion of the frame the device delivered, owned by the array and released with
it."""

import gc
import math
import os

import numpy as np
import pytest

import kx
from kx import _arguments, _native


def rss_bytes():
    """This process's resident memory."""
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * os.sysconf("SC_PAGE_SIZE")


def assert_owns_its_frame(image, height, width):
    """The array's memory is the planar frame it owns, in Fortran order."""
    assert image.shape == (height, width, 3) and image.dtype == np.uint8
    assert image.flags.f_contiguous and not image.flags.owndata
    address, size, frame_height, frame_width = _native.frame_memory(image)
    assert image.ctypes.data == address
    assert image.nbytes == size == height * width * 3
    assert (frame_height, frame_width) == (height, width)


def planar_reference(bgra):
    """The host's image of a BGRA frame: red, green and blue of each pixel."""
    return bgra[:, :, [2, 1, 0]]


@pytest.fixture(scope="module")
def camera():
    with kx.Camera(kx.TEST_CAMERA) as running:
        yield running


def test_camera_frames_are_the_filters_output_without_a_copy(camera):
    assert camera.resolution == (640, 480) and camera.shape == (480, 640, 3)
    stamps = []
    for _ in range(5):
        frame, bgra = camera._next(False, 10.0, packed=True)
        assert_owns_its_frame(frame.image, 480, 640)
        assert np.array_equal(frame.image, planar_reference(bgra))
        stamps.append(frame.timestamp)
    # Each frame's own time stamp, in the order taken.
    assert all(math.isfinite(s) for s in stamps)
    assert stamps == sorted(stamps) and len(set(stamps)) == len(stamps)


def test_filtered_frames_of_any_shape_are_handed_over_without_a_copy():
    converter = _native.FrameFilter(_arguments.plugin_folder())
    generator = np.random.default_rng(5)
    for height, width in [(1, 1), (1, 7), (5, 1), (7, 5), (480, 640)]:
        bgra = generator.integers(0, 256, (height, width, 4), dtype=np.uint8)
        image = converter.convert(bgra)
        assert_owns_its_frame(image, height, width)
        assert np.array_equal(image, planar_reference(bgra))


def test_snapshot_is_the_newest_frame_and_frames_come_in_order(camera):
    first = camera.snapshot(timeout=10)
    later = [frame.timestamp for frame in camera.frames(4, timeout=10)]
    assert first.timestamp < later[0]
    assert later == sorted(later)
    assert isinstance(first, kx.Frame) and "640x480" in repr(first)


def test_frames_are_released_with_their_arrays(camera):
    live = _native.live_frames()
    held = [frame.image for frame in camera.frames(10, timeout=10)]
    assert _native.live_frames() == live + 10
    del held
    assert _native.live_frames() == live

    # A thousand frames taken and dropped: memory does not grow with them.
    for count, frame in enumerate(camera.frames(1000, timeout=10), 1):
        assert frame.image[0, 0, 0] >= 0
        if count == 50:
            settled = rss_bytes()
    del frame
    gc.collect()
    assert _native.live_frames() == live
    if os.environ.get("KX_SANITIZED") != "address":  # its quarantine keeps freed memory
        frame_bytes = 480 * 640 * 3
        assert rss_bytes() - settled < 20 * frame_bytes, "memory grew with the frames"


def test_a_frame_outlives_its_camera():
    live = _native.live_frames()
    with kx.Camera() as camera:
        frame = camera.snapshot(timeout=10)
    copy = frame.image.copy()
    del camera
    gc.collect()
    assert np.array_equal(frame.image, copy)
    assert _native.live_frames() == live + 1
    del frame
    assert _native.live_frames() == live


def test_closing_ends_iteration_and_snapshots(camera):
    with kx.Camera() as other:
        frames = other.frames(timeout=10)
        next(frames)
    assert other.closed
    assert list(frames) == []
    with pytest.raises(ValueError, match="closed"):
        other.snapshot()


@pytest.mark.parametrize("arguments, error, says", [
    ({"webcam_id": 0}, TypeError, "webcam_id must be a str"),
    ({"webcam_id": ""}, ValueError, "webcam_id is empty"),
    ({"resolution": "big"}, ValueError, "resolution must look like '640x480'"),
    ({"resolution": [640, 480]}, TypeError, "resolution must be 'WxH' or"),
    ({"resolution": (4096, 4096)}, ValueError, "640x480"),  # what the camera offers
    ({"keep": 0}, ValueError, "keep must be 1 or more"),
    ({"frame_rate": 0}, ValueError, "frame_rate must be more than 0"),
    ({"frame_rate": "30"}, TypeError, "frame_rate must be a number or None"),
])
def test_camera_arguments(arguments, error, says):
    with pytest.raises(error, match=says):
        kx.Camera(**arguments)


def test_a_mode_the_camera_offers_is_taken():
    with kx.Camera(resolution=(640, 480), frame_rate=30) as camera:
        assert camera.resolution == (640, 480)
        assert camera.snapshot(timeout=10).image.shape == (480, 640, 3)


def test_a_missing_camera_is_the_devices_error():
    with pytest.raises(kx.DeviceError) as raised:
        kx.Camera("/nonexistent/video0")
    assert "camera '/nonexistent/video0' is not available" in str(raised.value)
    assert raised.value.identifier.startswith("KORVEX:webcam:")
    assert raised.value.text


def test_wait_arguments(camera):
    with pytest.raises(ValueError, match="timeout must be 0 or more seconds"):
        camera.snapshot(timeout=-1)
    with pytest.raises(TypeError, match="count must be an int"):
        camera.frames(count=1.5)


def test_cameras_are_listed_by_name_and_path():
    cameras = kx.list_cameras()
    assert isinstance(cameras, list)
    for info in cameras:
        assert isinstance(info, kx.CameraInfo)
        assert info.name and info.path.startswith("/dev/")
