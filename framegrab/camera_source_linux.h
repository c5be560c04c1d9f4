#pragma once

#include <functional>
#include <gst/gst.h>
#include <string>

// The element that stands for a camera in a capture pipeline. The controller asks a
// source factory for a new one whenever it reads the camera's modes or starts it,
// so that tests can put GStreamer's own test sources, shaped like real cameras, in
// the place of a V4L2 device.

namespace framegrab {

// A new source element, or a bin whose one pad "src" delivers the camera's frames,
// for the camera uniqueID; floating, so that the pipeline takes it over. Null when
// the identifier names no camera.
using SourceFactory = std::function<GstElement*(const std::string& uniqueID)>;

// The identifier of the generated test camera: a live camera of raw YUY2 frames of
// 640x480 at 30 frames a second.
inline constexpr const char* TEST_CAMERA_ID = "videotestsrc";

// The cameras of this computer: TEST_CAMERA_ID, or a V4L2 device read by v4l2src.
// A device is named by its path: its node (/dev/video0) or one of the links udev
// makes for it (/dev/v4l/by-id/..., /dev/v4l/by-path/...), which lasts when the
// camera is plugged in again. Anything else names no camera.
GstElement* makeCameraSource(const std::string& uniqueID);

// The node a device path leads to, with every symbolic link followed; the path as
// it is when it leads nowhere (the source then reports the missing device).
std::string resolveDevicePath(const std::string& path);

} // namespace framegrab
