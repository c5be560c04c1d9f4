#pragma once

#include "capture_controller.h"
#include "conduit/interfaces/channel.h"
#include "conduit/interfaces/device.h"
#include "conduit/kit/mutex.h"
#include "conduit/kit/ustring.h"

#include <boost/core/noncopyable.hpp>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace framegrab {

// The capture device: makes one webcam a data source of the host channel. init
// chooses the camera's mode (from the options "Resolution" and "RequestedFramerate",
// see mode_choice.h), probes the camera and announces its resolutions and frame
// types; a mode the camera does not offer is an error, and then init publishes
// nothing and keeps no camera. Between open and
// close every camera frame is copied into a "BGRA32PackedRowTopDown" frame, written
// into the channel, and followed by "TimeStamp" and "Framerate" updates. Whatever an
// operation or a frame throws is posted as "KORVEX:framegrab:runtimeError" with the
// text "An unexpected error occurred during acquisition."
class Device : public conduit::interfaces::device::IControl,
               public conduit::interfaces::device::IDataSource,
               public ControllerClient,
               private boost::noncopyable {
public:
    static const char* const WEBCAM_ID;
    static const char* const RESOLUTION;
    static const char* const REQUESTED_FRAME_RATE;
    static const char* const AVAILABLE_RESOLUTIONS;
    static const char* const FRAME_RATE;
    static const char* const INPUT_FRAME_TYPE;
    static const char* const OUTPUT_FRAME_TYPE;
    static const char* const TIMESTAMP;

    static const std::string FRAME_TYPE_RGB24;
    static const std::string FRAME_TYPE_BGRA32_TOP_DOWN;
    static const std::string FRAME_TYPE_YUY2_BOTTOM_UP;

    // The platform's camera controller.
    explicit Device(conduit::interfaces::channel::IControl& hostChannel);
    // Another controller (tests script one).
    Device(conduit::interfaces::channel::IControl& hostChannel, ControllerFactory factory);

    // conduit::interfaces::device::IControl, host control thread
    void init(const conduit::interfaces::device::PropertyList& options,
              conduit::interfaces::device::PropertyList& published) override;
    conduit::interfaces::device::IDataSource* getDataSource() const override;
    conduit::interfaces::device::IDataSink* getDataSink() const override;
    void open(const conduit::interfaces::device::PropertyList& options) override;
    void execute(const char* command,
                 const conduit::interfaces::device::PropertyList& options) override;
    void close() override;
    void term() override;

    // conduit::interfaces::device::IDataSource
    bool isSourceDone() const override;
    std::int32_t getSourcePolling() const override;

    conduit::interfaces::channel::IControl& getChannel() const;

    // ControllerClient, called by the controller on its capture thread. Frames that
    // arrive before init has stored the resolution, or that are smaller than it,
    // are dropped.
    void processFrame(const PixelBuffer& pixels, double timestamp) KX_EXCLUDES(frameMutex) override;
    void errorFcn(const std::string& identifier, const std::string& text) override;
    void warnFcn(const std::string& identifier, const std::string& text);

protected:
    ~Device() override;

private:
    // What init found out about the camera.
    struct CameraSetup {
        bool refused = false; // the options asked for a mode it does not offer
        Resolution resolution;
        std::vector<std::string> resolutions; // chosen first; empty when not listed
    };

    // Makes the controller, chooses the mode and probes the camera.
    CameraSetup prepareCamera(const conduit::interfaces::device::PropertyList& options);
    // Probes the camera: open, close, open, read the resolution, close.
    Resolution probeCamera();
    void setResolution(const Resolution& resolution) KX_EXCLUDES(frameMutex);
    // The kit's catch ladder with this device's identifier and text.
    template <class Operation> void guarded(Operation&& operation) noexcept;

    conduit::interfaces::channel::IControl* const channel;
    // The controller, the camera's identifier and the factory belong to the host
    // thread; the capture thread reaches the device only through processFrame and
    // errorFcn, which read none of them.
    std::unique_ptr<CaptureController> controller;
    conduit::kit::ustring webcamID;
    ControllerFactory makeController;
    // Shared by the host thread (init) and the capture thread.
    conduit::kit::Mutex frameMutex;
    double width KX_GUARDED_BY(frameMutex) = 0;
    double height KX_GUARDED_BY(frameMutex) = 0;
    double firstTimestamp KX_GUARDED_BY(frameMutex) = 0;
    double frameCount KX_GUARDED_BY(frameMutex) = 0;
};

} // namespace framegrab
