#pragma once

#include "camera_source_linux.h"
#include "capture_controller.h"
#include "controller_messages.h"
#include "framegrab/camera_mode.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace framegrab {

class CapturePipeline;

// The camera controller on GStreamer. The identifier is a V4L2 device path such as
// /dev/video0 or a link to one under /dev/v4l/, or TEST_SOURCE for a generated live
// test camera of 640x480 at 30 frames per second (camera_source_linux.h). Frames
// arrive as BGRA (capture_pipeline_linux.h), stamped with the clock time at which
// they were captured (the buffer's presentation time plus the pipeline's base time),
// so that time stamps keep growing across close and open.
class LinuxWebcamController final : public CaptureController {
public:
    static const char* const TEST_SOURCE;

    // makeSource gives the element that stands for the camera (tests give their own).
    LinuxWebcamController(ControllerClient& client, std::string uniqueID,
                          SourceFactory makeSource = makeCameraSource);
    ~LinuxWebcamController() override;
    LinuxWebcamController(const LinuxWebcamController&) = delete;
    LinuxWebcamController& operator=(const LinuxWebcamController&) = delete;

    // Waits (bounded) until the first frame has fixed the resolution. Opening an
    // open controller does nothing and answers true, unless the camera was lost:
    // then it starts again.
    bool open() override;
    // Stops the pipeline; waits for a frame being handed over to finish.
    void close() override;
    // The resolution the last successful open negotiated.
    Resolution getWebcamResolution() override;
    std::string device() const override;
    // The modes the camera states when it is opened (without starting it); empty,
    // without a message, when it cannot be opened.
    std::vector<CameraMode> listModes() override;
    // Later opens run the camera in this mode; without one, the camera's own first
    // raw format is used.
    void useMode(const CameraMode& mode) override;

private:
    void report(const messages::Message& message);

    // Host thread only: the streaming thread reaches nothing but the pipeline, whose
    // mutexes guard what the two threads share.
    ControllerClient& client;
    const std::string uniqueID;
    const SourceFactory makeSource;
    const bool gstreamerReady;
    std::optional<CameraMode> mode;
    std::unique_ptr<CapturePipeline> pipeline; // while open
    Resolution resolution;                     // of the last successful open
    std::string openedDevice;
};

} // namespace framegrab
