#pragma once

// The camera on the page: frames come from the camera's thread through the
// camera session (framegrab, then pixsieve into the host's planar layout) and go
// out as JPEG pictures. Only the newest frame waits; the encoder thread takes it,
// and frames that come while it works are dropped, as a camera drops late frames.
// No frame is encoded while no browser watches.

#include "jpeg_frame.h"
#include "phone_feed.h"
#include "tools/camgrab/frame_inbox.h"
#include "tools/common/camera_session.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

namespace sensorview {

class CameraFeed {
public:
    // Opens the camera (kxtools::CameraSession); throws as it does.
    explicit CameraFeed(const std::string& webcamID);
    ~CameraFeed(); // closes

    CameraFeed(const CameraFeed&) = delete;
    CameraFeed& operator=(const CameraFeed&) = delete;

    // Starts the camera and the encoder; watched tells whether anyone looks.
    void start(Publish publish, std::function<bool()> watched);
    void close();

    const std::string& id() const { return cameraId; }
    const std::string& resolution() const { return camera.resolution(); }
    // Any thread.
    std::uint64_t arrivals() const { return inbox.arrivals(); }
    double measuredRate() const { return inbox.measuredRate(); }
    std::uint64_t sent() const { return sentCount.load(); }
    kxtools::CameraSession& session() { return camera; }

private:
    void encodeFrames(const Publish& publish, const std::function<bool()>& watched);

    std::string cameraId;
    camgrab::FrameInbox inbox;
    kxtools::CameraSession camera; // after the inbox its frames go to
    JpegEncoder encoder;
    std::atomic<bool> stopping{false};
    std::atomic<std::uint64_t> sentCount{0};
    std::thread thread;
};

} // namespace sensorview
