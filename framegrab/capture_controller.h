#pragma once

#include "conduit/kit/ustring.h"
#include "framegrab/camera_mode.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// What the capture device and its camera controller say to each other. The device
// owns one controller; the controller calls back into the device for every frame
// and every failure. One controller per platform implements this (GStreamer on
// Linux, AVFoundation on macOS), created by createWebcamController.

namespace framegrab {

class Device;

// One captured image, valid only during the call that hands it over. Rows may be
// padded: row r starts at baseAddress + r * bytesPerRow, and only dataSize bytes
// from baseAddress may be read.
struct PixelBuffer {
    const std::uint8_t* baseAddress = nullptr;
    std::size_t bytesPerRow = 0;
    std::size_t width = 0;  // pixels in a row
    std::size_t height = 0; // rows
    std::size_t dataSize = 0;
};

// Frame size in pixels; (0, 0) when it is not known.
struct Resolution {
    double width = 0;
    double height = 0;
};

// The two calls a controller makes into its device.
class ControllerClient {
public:
    // capture thread: one frame at a time and in order; pixels are BGRA, valid only
    // during the call; timestamp is the frame's presentation time in seconds
    virtual void processFrame(const PixelBuffer& pixels, double timestamp) = 0;
    // any controller thread: identifier first, then the English text
    virtual void errorFcn(const std::string& identifier, const std::string& text) = 0;

protected:
    virtual ~ControllerClient() = default;
};

// Camera access for one camera. Every operation runs on the host control thread.
class CaptureController {
public:
    virtual ~CaptureController() = default;

    // builds the session and starts it; false (after an error message) when it cannot
    virtual bool open() = 0;
    // stops the session; no frame reaches the device after close returns
    virtual void close() = 0;
    // width and height of the frames; (0, 0) after an error message when unknown
    virtual Resolution getWebcamResolution() = 0;
    // the camera the last open found (its identifier), or empty
    virtual std::string device() const = 0;
    // The modes the camera offers, read without starting it; empty when the
    // controller cannot tell (then the camera runs in a mode of its own choice).
    virtual std::vector<CameraMode> listModes() { return {}; }
    // The mode of later opens, one that listModes stated.
    virtual void useMode(const CameraMode&) {}
};

// Makes the controller for the camera uniqueID, reporting to device. The session
// is prepared but not started.
using ControllerFactory = std::function<std::unique_ptr<CaptureController>(
    Device& device, const conduit::kit::ustring& uniqueID)>;

// The platform's controller.
std::unique_ptr<CaptureController> createWebcamController(Device& device,
                                                          const conduit::kit::ustring& uniqueID);

} // namespace framegrab
