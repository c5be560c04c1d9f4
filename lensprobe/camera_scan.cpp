#include "lensprobe/camera_scan.h"

#include <linux/videodev2.h>

namespace lensprobe {

CaptureSupport captureSupportFromCapabilities(std::uint32_t capabilities,
                                              std::uint32_t deviceCapabilities) {
    // capabilities describes the whole device, which may also have capture nodes;
    // device_caps, when present, describes this node.
    const std::uint32_t node =
        (capabilities & V4L2_CAP_DEVICE_CAPS) != 0 ? deviceCapabilities : capabilities;
    return (node & (V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_VIDEO_CAPTURE_MPLANE)) != 0
               ? CaptureSupport::Capture
               : CaptureSupport::NoCapture;
}

CameraList scanCameras(const std::string& directory, DeviceProbe& probe) {
    CameraList cameras;
    for (const std::string& entry : probe.entryNames(directory)) {
        if (entry.find("video") == std::string::npos)
            continue;
        const std::string path = directory + entry;
        // Kernels give each USB camera a second node that carries only metadata;
        // it has a name but cannot capture, so it would list the camera twice.
        // A node that cannot be queried is judged by its name alone.
        if (probe.captureSupport(path) == CaptureSupport::NoCapture)
            continue;
        std::optional<std::string> name = probe.deviceName(path);
        if (!name)
            continue;
        cameras.names.push_back(std::move(*name));
        cameras.paths.push_back(path);
    }
    return cameras;
}

} // namespace lensprobe
