#pragma once

#include "lensprobe/device_probe.h"

#include <optional>
#include <string>
#include <vector>

typedef struct _GstElement GstElement;

// The real platform behind DeviceProbe: POSIX directory reading, the Video4Linux
// capability query and GStreamer's "v4l2src" element.

namespace lensprobe {

// Entry names in readdir order ("." and ".." included); empty when the directory
// cannot be opened.
std::vector<std::string> readDirectoryEntries(const std::string& directory);

// Opens the node without blocking and asks VIDIOC_QUERYCAP; Unknown when either
// fails (a plain file, a missing node, a device of another kind).
CaptureSupport queryCaptureSupport(const std::string& path);

// Asks one source element for the "device-name" of each path it is given. The
// element comes from the named factory; when there is no such factory no path
// yields a name.
class GstNameProbe {
public:
    explicit GstNameProbe(const char* factoryName = "v4l2src");
    ~GstNameProbe();
    GstNameProbe(const GstNameProbe&) = delete;
    GstNameProbe& operator=(const GstNameProbe&) = delete;

    bool hasElement() const { return element != nullptr; }
    std::optional<std::string> deviceName(const std::string& path);

private:
    GstElement* element = nullptr;
};

class SystemProbe final : public DeviceProbe {
public:
    std::vector<std::string> entryNames(const std::string& directory) override;
    CaptureSupport captureSupport(const std::string& path) override;
    std::optional<std::string> deviceName(const std::string& path) override;

private:
    GstNameProbe names;
};

} // namespace lensprobe
