#pragma once

#include "capture_controller.h"
#include "controller_messages.h"

#include <memory>
#include <string>

namespace framegrab {

// The camera controller on GStreamer. The identifier is a V4L2 device path such as
// /dev/video0, or TEST_SOURCE for a generated live test camera of 640x480 at 30
// frames per second. Frames arrive as BGRA through an application sink that keeps
// at most one frame and drops late ones; they reach the client on the pipeline's
// one streaming thread, one at a time and in order, stamped with the clock time at
// which they were captured (the buffer's presentation time plus the pipeline's
// base time), so that time stamps keep growing across close and open.
class LinuxWebcamController final : public CaptureController {
public:
    static const char* const TEST_SOURCE;

    LinuxWebcamController(ControllerClient& client, std::string uniqueID);
    ~LinuxWebcamController() override;
    LinuxWebcamController(const LinuxWebcamController&) = delete;
    LinuxWebcamController& operator=(const LinuxWebcamController&) = delete;

    // Waits (bounded) until the first frame has fixed the resolution. Opening an
    // open controller does nothing and answers true.
    bool open() override;
    // Stops the pipeline; waits for a frame being handed over to finish.
    void close() override;
    // The resolution the last successful open negotiated.
    Resolution getWebcamResolution() override;
    std::string device() const override;

    struct Pipeline;

private:
    void report(const messages::Message& message);
    void stopPipeline();

    // Host thread only: the streaming thread reaches nothing but the pipeline, whose
    // mutexes guard what the two threads share.
    ControllerClient& client;
    const std::string uniqueID;
    const bool gstreamerReady;
    std::unique_ptr<Pipeline> pipeline; // while open
    Resolution resolution;              // of the last successful open
    std::string openedDevice;
};

} // namespace framegrab
