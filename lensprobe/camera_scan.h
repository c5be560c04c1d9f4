#pragma once

#include "lensprobe/device_probe.h"

#include <string>
#include <vector>

namespace lensprobe {

// The named devices of a scan; names[i] and paths[i] describe the same device.
struct CameraList {
    std::vector<std::string> names;
    std::vector<std::string> paths;
};

// Every entry of directory (which ends with '/') whose name contains "video" is a
// candidate, in directory order. A candidate that answers the capability query
// but cannot capture is left out; the others are listed when they yield a name.
CameraList scanCameras(const std::string& directory, DeviceProbe& probe);

} // namespace lensprobe
