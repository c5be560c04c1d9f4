#pragma once

// The host's side of one camera, as the host wires it: the capture device
// framegrab and the frame filter pixsieve loaded by name, the device initialised
// with the camera's identifier, the filter set to convert from the layout the
// device announces into the host's planar one. The programs that show or save a
// camera's frames (camgrab, sensorview) share it.

#include "host/channel.h"
#include "host/plugin_loader.h"
#include "host/property_list.h"
#include "webcam/video_data_buffer.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace camgrab {

// The camera and, optionally, the mode asked of it.
struct CameraRequest {
    std::string webcamID;
    std::string resolution; // "WxH"; empty: framegrab's choice
    double rate = 0;        // frames a second; 0: framegrab's choice
};

// The device reported an error at init: the camera is not there, cannot be used,
// or does not offer the mode asked for (then it published nothing).
class CameraUnavailable : public std::runtime_error {
public:
    CameraUnavailable(const std::string& reason, std::vector<korvex::host::Message> posted);
    // What the device posted during init, errors and warnings, oldest first.
    const std::vector<korvex::host::Message>& messages() const { return postedMessages; }

private:
    std::vector<korvex::host::Message> postedMessages;
};

using PlanarFramePtr = std::unique_ptr<webcam::VideoDataBuffer, conduit::kit::Releaser>;

class CameraSession {
public:
    // Loads both plug-ins, initialises the device with the camera and the mode
    // asked for and opens the filter. Throws CameraUnavailable when the device
    // reports an error, and std::runtime_error when it does not publish what the
    // filter needs.
    explicit CameraSession(const CameraRequest& request);
    ~CameraSession(); // closes the device and the filter, then terms them

    CameraSession(const CameraSession&) = delete;
    CameraSession& operator=(const CameraSession&) = delete;

    // Starts the camera; from then on every frame goes to onFrame, on the camera's
    // thread, which keeps it (true) or lets the channel release it (false).
    void open(std::function<bool(korvex::host::BufferPtr)> onFrame);
    // Stops the camera: onFrame is not called after it returns.
    void close();

    // A packed frame of the camera in the host's planar layout ("RGB24PlanarColumn":
    // three planes R, G, B, each column by column). The filter takes the frame
    // over. Throws std::runtime_error when the filter returns no frame or one whose
    // size does not match its shape. Any thread.
    PlanarFramePtr toPlanar(korvex::host::BufferPtr packed);

    const std::string& resolution() const { return resolutionText; } // "640x480"
    // Messages the device posted since the last call, oldest first.
    std::vector<korvex::host::Message> newMessages();

private:
    // The libraries outlive every object they made: they are declared first.
    korvex::host::PluginLibrary grabLibrary;
    korvex::host::PluginLibrary sieveLibrary;
    korvex::host::Channel channel;
    korvex::host::PropertyListOwner published;
    korvex::host::DevicePtr device;
    korvex::host::FilterPtr filter;
    std::string resolutionText;
    bool opened = false;
    bool filterOpen = false;
    std::size_t messagesSeen = 0;
};

// "KORVEX:webcam:deviceUnavailable: ..." or the text alone when there is no
// identifier.
std::string messageText(const korvex::host::Message& message);

} // namespace camgrab
