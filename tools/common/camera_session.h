#pragma once

// The host's side of one camera, as the host wires it: the capture device
// framegrab and the frame filter pixsieve loaded by name, the device initialised
// with the camera's identifier (it probes the camera and announces its resolution
// and frame types), the filter initialised with those frame types, and a channel
// whose frames go to a handler of the caller's. camgrab and the Python module both
// take frames this way.

#include "host/channel.h"
#include "host/plugin_loader.h"
#include "host/property_list.h"
#include "tools/common/device_error.h"
#include "webcam/video_data_buffer.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kxtools {

// framegrab's generated test camera.
constexpr const char* TEST_CAMERA = "videotestsrc";

struct CameraSettings {
    std::string webcamID = TEST_CAMERA;
    std::string resolution; // "WxH", passed as the option "Resolution"; empty: the device's
    // frames a second, passed as the option "RequestedFramerate"; none: the device's
    std::optional<double> frameRate;
    std::string pluginFolder; // empty: where the host looks (pluginDirectory)
};

using FramePtr = std::unique_ptr<webcam::VideoDataBuffer, conduit::kit::Releaser>;

class CameraSession {
public:
    // Called on the camera's thread with each packed frame; the answer is write's.
    using FrameHandler = std::function<bool(korvex::host::BufferPtr)>;
    // Called on the camera's thread with each property value the device posts
    // ("TimeStamp" right after its frame, then "Framerate").
    using PropertyHandler = std::function<void(const korvex::host::PropertyPtr&)>;

    // Loads framegrab and pixsieve, initialises the device (which probes the camera)
    // and the filter. Throws DeviceError with the device's messages when init
    // reports an error: "camera '<id>' does not offer the mode asked for" when the
    // device refused the resolution or frame rate (and published nothing), else
    // "camera '<id>' is not available"; korvex::host::LoadError when a plug-in
    // cannot be loaded.
    // Frames of the probe are dropped; from open on, frames and property values go
    // to the handlers.
    CameraSession(const CameraSettings& settings, FrameHandler frames,
                  PropertyHandler properties = {});
    ~CameraSession(); // closes the device and the filter if open, then terms them

    CameraSession(const CameraSession&) = delete;
    CameraSession& operator=(const CameraSession&) = delete;

    // Starts the camera. Throws DeviceError when the device reports an error.
    void open();
    // Stops the camera; no frame reaches the handler after it returns.
    void close();

    // What the device announced: "Resolution" ("640x480"), width and height.
    const std::string& resolution() const { return resolutionText; }
    std::size_t width() const { return frameWidth; }
    std::size_t height() const { return frameHeight; }

    // Converts one packed frame with the filter, which takes it over, into the
    // host's planar layout ("RGB24PlanarColumn": H x W x 3, column by column).
    // Throws std::runtime_error when the filter returns no frame or a frame whose
    // size is not height x width x 3.
    FramePtr convert(korvex::host::BufferPtr packed);

    // Messages posted since the last call, oldest first.
    std::vector<korvex::host::Message> newMessages();

private:
    // The libraries outlive every object they made: they are declared first.
    korvex::host::PluginLibrary grabLibrary;
    korvex::host::PluginLibrary sieveLibrary;
    korvex::host::Channel channel;
    korvex::host::PropertyListOwner published;
    korvex::host::DevicePtr grabber;
    korvex::host::FilterPtr filter;
    std::string resolutionText;
    std::size_t frameWidth = 0;
    std::size_t frameHeight = 0;
    bool opened = false;
    std::size_t messagesSeen = 0;
};

} // namespace kxtools
