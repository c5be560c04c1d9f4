#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The platform calls of one camera scan, behind a seam so that tests can scan a
// folder of their own and script what each device reports.

namespace lensprobe {

// What a node's Video4Linux capability query says about capturing video.
enum class CaptureSupport {
    Unknown,  // the node could not be opened or queried
    Capture,  // it captures video (single- or multi-planar)
    NoCapture // it answers the query but cannot capture (e.g. a metadata node)
};

// Judges the fields of a capability query: the node's own capabilities when the
// driver reports them, else the capabilities of the whole device.
CaptureSupport captureSupportFromCapabilities(std::uint32_t capabilities,
                                              std::uint32_t deviceCapabilities);

class DeviceProbe {
public:
    virtual ~DeviceProbe() = default;

    // Entry names of a directory in the order the system lists them (not sorted);
    // empty when the directory cannot be read.
    virtual std::vector<std::string> entryNames(const std::string& directory) = 0;
    // What the node's capability query says.
    virtual CaptureSupport captureSupport(const std::string& path) = 0;
    // The device's name, or nothing when it yields none.
    virtual std::optional<std::string> deviceName(const std::string& path) = 0;
};

} // namespace lensprobe
