#include "webcam_controller_linux.h"

#include "camera_caps_linux.h"
#include "capture_pipeline_linux.h"
#include "device.h"
#include "host/i18n/ustring_conversion.h"

#include <gst/gst.h>
#include <utility>

namespace framegrab {

namespace {

bool initialiseGStreamer() {
    GError* error = nullptr;
    const bool ready = gst_init_check(nullptr, nullptr, &error) != FALSE;
    if (error != nullptr)
        g_error_free(error);
    return ready;
}

} // namespace

const char* const LinuxWebcamController::TEST_SOURCE = TEST_CAMERA_ID;

LinuxWebcamController::LinuxWebcamController(ControllerClient& frameClient, std::string cameraID,
                                             SourceFactory sourceFactory)
    : client(frameClient), uniqueID(std::move(cameraID)), makeSource(std::move(sourceFactory)),
      gstreamerReady(initialiseGStreamer()) {}

LinuxWebcamController::~LinuxWebcamController() { close(); }

std::vector<CameraMode> LinuxWebcamController::listModes() {
    if (!gstreamerReady)
        return {};
    return readSourceModes(makeSource(uniqueID));
}

void LinuxWebcamController::useMode(const CameraMode& cameraMode) { mode = cameraMode; }

bool LinuxWebcamController::open() {
    if (pipeline && !pipeline->lost())
        return true;
    // A lost camera's pipeline goes before the camera is opened again.
    pipeline.reset();
    resolution = Resolution();
    openedDevice.clear();
    if (!gstreamerReady) {
        report(messages::SESSION_CREATION_ERROR);
        return false;
    }
    GstElement* source = makeSource(uniqueID);
    if (source == nullptr) {
        report(messages::DEVICE_INACCESSIBLE);
        return false;
    }
    auto run = std::make_unique<CapturePipeline>(client);
    if (!run->build(source, mode ? &*mode : nullptr)) {
        report(messages::SESSION_CREATION_ERROR);
        return false;
    }
    if (!run->start()) {
        const messages::Message& failure = run->startFailure();
        run.reset(); // stopped before the failure is reported
        report(failure);
        return false;
    }
    resolution = run->negotiatedResolution();
    pipeline = std::move(run);
    openedDevice = uniqueID;
    return true;
}

void LinuxWebcamController::close() { pipeline.reset(); }

Resolution LinuxWebcamController::getWebcamResolution() {
    if (!(resolution.width > 0 && resolution.height > 0)) {
        report(messages::INVALID_RESOLUTION);
        return Resolution();
    }
    return resolution;
}

std::string LinuxWebcamController::device() const { return openedDevice; }

void LinuxWebcamController::report(const messages::Message& message) {
    client.errorFcn(message.identifier, message.text);
}

std::unique_ptr<CaptureController> createWebcamController(Device& device,
                                                          const conduit::kit::ustring& uniqueID) {
    return std::make_unique<LinuxWebcamController>(device, korvex::i18n::narrow(uniqueID));
}

} // namespace framegrab
