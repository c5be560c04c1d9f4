#pragma once

// What camlist shows of each camera besides its name and path: the stable links
// udev makes to it and the modes it offers.

#include <string>
#include <vector>

namespace camlist {

// One line of a camera's modes: a format at one size with its rates.
struct ModeLine {
    std::string format; // "MJPEG", "YUY2", "H264"
    std::string size;   // "1280x720"
    std::string rates;  // frames a second, fastest first: "30, 15, 5 to 10"; "?" when not stated
};

struct CameraDetails {
    std::vector<std::string> links; // /dev/v4l/by-id/..., /dev/v4l/by-path/...
    std::vector<ModeLine> modes;    // empty when the camera could not be opened
};

// The details of each camera path, in the same order. Where the platform tells
// none, every camera has empty details.
std::vector<CameraDetails> describeCameras(const std::vector<std::string>& paths);

} // namespace camlist
