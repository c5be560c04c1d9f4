"""Camera frames as numpy arrays.

A Camera runs one camera through the capture device plug-in framegrab and converts
each frame with the frame filter pixsieve into the host's image layout: three
8-bit planes R, G, B, each stored column by column. That layout is numpy's
Fortran order for an H x W x 3 array, so every frame becomes an array without a
copy; the array owns the frame, which is released with the array.
"""

import math
import numbers
from typing import NamedTuple

from . import _native
from ._arguments import plugin_folder, seconds, text, whole
from ._device import NativeDevice
from .errors import DeviceError, UnsupportedModeError, first_error

__all__ = ["Camera", "Frame", "CameraInfo", "list_cameras", "TEST_CAMERA"]

#: framegrab's generated test camera (640 x 480, 30 frames a second).
TEST_CAMERA = "videotestsrc"


class Frame:
    """One camera frame.

    image: an H x W x 3 numpy array of uint8 (red, green, blue), in Fortran order;
    its memory is the converted frame itself, released when the array goes.
    timestamp: seconds from the camera's first frame to this one, as the capture
    device stamps it (NaN when it gave none).
    monotonic: when the frame arrived from the capture device, in seconds on the
    computer's monotonic clock (CLOCK_MONOTONIC, as time.monotonic() reads it),
    the clock of the readings' "monotonic" column: frames and readings are on one
    timeline.
    """

    __slots__ = ("image", "timestamp", "monotonic")

    def __init__(self, image, timestamp, monotonic):
        self.image = image
        self.timestamp = timestamp
        self.monotonic = monotonic

    def __repr__(self):
        height, width, _ = self.image.shape
        return (f"<kx.Frame {width}x{height} at {self.timestamp:.3f} s "
                f"(monotonic {self.monotonic:.6f} s)>")


class CameraInfo(NamedTuple):
    """A camera of this computer: its name, and the path to give Camera."""

    name: str
    path: str


def list_cameras():
    """The cameras of this computer as a list of CameraInfo (name, device path).

    Asks the camera-listing extension module lensprobe, as the host does. The
    generated test camera TEST_CAMERA is not listed; it is always there.
    """
    return [CameraInfo(name, path) for name, path in _native.list_cameras(plugin_folder())]


class Camera(NativeDevice):
    """A running camera whose frames are numpy arrays.

    Camera(webcam_id=TEST_CAMERA, *, resolution=None, frame_rate=None, keep=4)

    webcam_id: a Video4Linux device such as "/dev/video0" (list_cameras() shows
    them), or TEST_CAMERA. resolution: "WxH" or (width, height), one of the sizes
    the camera offers; frame_rate: frames a second; None lets the device choose
    (passed to framegrab as "Resolution" and "RequestedFramerate"). keep: frames
    kept for a reader that falls behind; older ones are dropped (counted in
    `dropped`).

    The camera runs from construction until close(); use it in a with block.
    Frames already taken stay valid after close(). Raises DeviceError when the
    camera cannot be used, UnsupportedModeError (a ValueError) for a size or rate
    it does not offer.

        with kx.Camera() as camera:
            frame = camera.snapshot()
            frame.image.shape   # (480, 640, 3)
    """

    def __init__(self, webcam_id=TEST_CAMERA, *, resolution=None, frame_rate=None, keep=4):
        self._id = webcam_id
        text(webcam_id, "webcam_id")
        if not webcam_id:
            raise ValueError("webcam_id is empty: give a device path or kx.TEST_CAMERA")
        keep = whole(keep, "keep", 1)
        frame_rate = _frame_rate(frame_rate)
        self._source = f"camera {webcam_id}"
        try:
            self._native = _native.Camera(webcam_id, _resolution_text(resolution), frame_rate,
                                          keep, plugin_folder())
        except _native.DeviceFailure as failure:
            what, messages = failure.args
            identifier, said = first_error(messages)
            if identifier.endswith((":unsupportedResolution", ":unsupportedFramerate")):
                raise UnsupportedModeError(f"{what}: {said}", identifier, said,
                                           messages) from None
            raise DeviceError(what, identifier, said, messages) from None

    @property
    def webcam_id(self):
        """The camera's identifier, as given."""
        return self._id

    @property
    def resolution(self):
        """(width, height) of the frames."""
        return (self._native.width, self._native.height)

    @property
    def shape(self):
        """(height, width, 3): the shape of every image."""
        return (self._native.height, self._native.width, 3)

    @property
    def dropped(self):
        """Frames the camera delivered that were dropped before they were read."""
        return self._native.dropped

    def snapshot(self, timeout=5.0):
        """The newest frame, waiting for one if none is waiting (at most timeout s).

        Frames older than it are dropped. Raises TimeoutError when none comes in
        time; Ctrl-C interrupts the wait with KeyboardInterrupt.
        """
        frame = self._next(True, seconds(timeout, "timeout"))
        if frame is None:
            raise ValueError("the camera was closed while waiting for a frame")
        return frame

    def frames(self, count=None, timeout=5.0):
        """Frames in the order the camera delivered them, as an iterator of Frame.

        Ends after count frames (None: until the camera is closed). Waits at most
        timeout seconds for each frame (TimeoutError); Ctrl-C interrupts a wait with
        KeyboardInterrupt.
        """
        if count is not None:
            count = whole(count, "count", 0)
        timeout = seconds(timeout, "timeout")
        return self._frames(count, timeout)

    def __iter__(self):
        """Frames in order until the camera is closed: frames() with its defaults."""
        return self.frames()

    def __repr__(self):
        if self._native is None:
            return f"<kx.Camera {self._id} (not running)>"
        width, height = self.resolution
        state = "closed" if self.closed else "running"
        return f"<kx.Camera {self._id} {width}x{height} ({state})>"

    def _frames(self, count, timeout):
        if self.closed:
            raise ValueError("frames of a closed Camera")
        taken = 0
        while count is None or taken < count:
            frame = self._next(False, timeout)
            if frame is None:
                return  # closed
            yield frame
            taken += 1

    def _next(self, newest, timeout, packed=False):
        """The next Frame (with packed also its BGRA original); None once closed."""
        if self.closed:
            if newest:
                raise ValueError("snapshot of a closed Camera")
            return None
        self._report()
        got = self._native.next(newest, timeout, packed)
        if got is None:
            self._report()
            if self.closed:
                return None
            raise TimeoutError(f"no frame from {self._id} in {timeout} s")
        if packed:
            image, stamp, arrival, bgra = got
            return Frame(image, stamp, arrival), bgra
        return Frame(*got)


def _resolution_text(resolution):
    """None, "WxH" or (width, height) as the device's "WxH" ("" for None)."""
    if resolution is None:
        return ""
    if isinstance(resolution, str):
        parts = resolution.split("x")
        if len(parts) == 2 and all(p.isdigit() for p in parts):
            return resolution
        raise ValueError(f"resolution must look like '640x480', not {resolution!r}")
    if isinstance(resolution, tuple) and len(resolution) == 2:
        width, height = (whole(v, "resolution", 1) for v in resolution)
        return f"{width}x{height}"
    raise TypeError(f"resolution must be 'WxH' or (width, height), not {type(resolution).__name__}")


def _frame_rate(frame_rate):
    """None, or frames a second as a float above 0."""
    if frame_rate is None:
        return None
    if isinstance(frame_rate, bool) or not isinstance(frame_rate, numbers.Real):
        raise TypeError(f"frame_rate must be a number or None, not {type(frame_rate).__name__}")
    if not float(frame_rate) > 0 or math.isinf(frame_rate):
        raise ValueError(f"frame_rate must be more than 0 frames a second, not {frame_rate}")
    return float(frame_rate)
