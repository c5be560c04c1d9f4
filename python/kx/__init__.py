"""kx: phone sensor readings and camera frames as numpy arrays.

kx loads the Korvex plug-ins the way the host does, so that readings are parsed,
converted and accounted for exactly as they are there, and frames are converted
by the same filter:

- SensorStream: the readings of a phone app (APPS), read as structured arrays of
  READING_DTYPE, with time stamps as datetime64[ms] and NaN where a reading has
  no value;
- Camera: a camera's frames (Frame) as H x W x 3 uint8 arrays that own the
  converted frame, with no copy; list_cameras() names the cameras, TEST_CAMERA is
  a generated one;
- DeviceError, PortInUseError, UnsupportedModeError and DeviceWarning carry what
  a device reports.

Readings (the column "monotonic") and frames (Frame.monotonic) carry when they
arrived, in seconds on the computer's monotonic clock, the clock of
time.monotonic(): one timeline for both, which setting the date does not move.

Every wait releases the interpreter lock and ends with KeyboardInterrupt on
Ctrl-C; streams and cameras close on close(), at the end of a with block, or when
garbage collected.
"""

from ._native import __version__
from .cameras import TEST_CAMERA, Camera, CameraInfo, Frame, list_cameras
from .errors import DeviceError, DeviceWarning, PortInUseError, UnsupportedModeError
from .sensors import APPS, READING_DTYPE, DatagramAccounting, SensorStream

__all__ = [
    "APPS",
    "READING_DTYPE",
    "TEST_CAMERA",
    "Camera",
    "CameraInfo",
    "DatagramAccounting",
    "DeviceError",
    "DeviceWarning",
    "Frame",
    "PortInUseError",
    "SensorStream",
    "UnsupportedModeError",
    "list_cameras",
]
