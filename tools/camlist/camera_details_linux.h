#pragma once

// The Linux side of the camera details: udev's links and the modes GStreamer's
// v4l2src states for a device.

#include "camera_details.h"
#include "framegrab/camera_mode.h"

#include <string>
#include <vector>

namespace camlist {

// The links under v4lFolder/by-id and v4lFolder/by-path (v4lFolder ends with '/')
// that lead to the same node as devicePath, by-id first, each folder in name order.
std::vector<std::string> stableLinks(const std::string& devicePath, const std::string& v4lFolder);

// The modes as lines, grouped by format (in the order the camera states them), then
// by size (largest first), with each size's rates fastest first.
std::vector<ModeLine> modeLines(const std::vector<framegrab::CameraMode>& modes);

} // namespace camlist
