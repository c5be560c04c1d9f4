#pragma once

// The C++ side of kx.Camera: a camera session whose frames wait in a frame inbox,
// converted by the filter when the reader takes them and handed to numpy without
// a copy.

#include "device_news.h"
#include "frame_inbox.h"
#include "tools/common/camera_session.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <pybind11/numpy.h>

namespace kx {

class Camera {
public:
    // Loads the plug-ins, probes and starts the camera; frames flow when this
    // returns. room: frames kept for the reader. Throws kxtools::DeviceError when the
    // camera cannot be used, std::invalid_argument for a resolution it lacks.
    Camera(const kxtools::CameraSettings& settings, std::size_t room);
    ~Camera();

    Camera(const Camera&) = delete;
    Camera& operator=(const Camera&) = delete;

    // The next frame (the oldest waiting, or with newest the newest) as
    // (image, timestamp, arrival in monotonic seconds), or None when none came in
    // time; with packed also a copy of the packed BGRA frame the image was
    // converted from (tests). Waits and
    // conversions run without the interpreter lock; KeyboardInterrupt leaves as
    // pybind11::error_already_set. Ends early, returning None, when the device
    // posts a message or the camera closes.
    pybind11::object next(bool newest, std::optional<std::chrono::milliseconds> timeout,
                          bool packed);

    std::size_t width() const { return core->session.width(); }
    std::size_t height() const { return core->session.height(); }
    std::vector<korvex::host::Message> takeMessages();
    std::uint64_t arrivals() const { return core->inbox.arrivals(); }
    std::uint64_t dropped() const { return core->inbox.dropped(); }

    // Stops the camera. Idempotent. Frames handed out stay valid.
    void close();
    bool isClosed() const { return closed; }
    bool isWaiting() const { return waiting; }

private:
    // Shared with every frame handed out: the libraries that made a frame stay
    // loaded until the frame is released.
    struct Core {
        Core(const kxtools::CameraSettings& settings, std::size_t room);
        FrameInbox inbox; // before the session: it outlives the camera's thread
        kxtools::CameraSession session;
    };
    std::shared_ptr<Core> core;
    DeviceNews news;
    std::atomic<bool> closed{false};
    std::atomic<bool> waiting{false};
};

} // namespace kx
