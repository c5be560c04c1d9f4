#pragma once

#include "camera_mode.h"
#include "capture_controller.h"
#include "controller_messages.h"

#include <condition_variable>
#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <mutex>
#include <string>

namespace framegrab {

// One run of a camera:
//   source ! capsfilter (the mode) ! [jpegdec, for MJPEG] ! videoconvert ! appsink (BGRA)
// Frames reach the client on the pipeline's one streaming thread, one at a time
// and in order. The application sink keeps at most one frame and drops late ones.
//
// After the first frame, a camera that fails (an error: unplugged, a driver fault)
// or whose stream ends is lost: no frame is handed over after that, and the client
// hears "KORVEX:webcam:deviceLost" once, on the thread that saw it. stop (on the
// host thread) ends the run and waits for a frame or a loss being handed over, so
// that neither reaches the client after it; the elements are named "source",
// "mode", "decode", "convert" and "sink".
class CapturePipeline {
public:
    explicit CapturePipeline(ControllerClient& frameClient);
    ~CapturePipeline();
    CapturePipeline(const CapturePipeline&) = delete;
    CapturePipeline& operator=(const CapturePipeline&) = delete;

    // Takes over the floating source; without a mode the source's own first format
    // is converted (raw only). False when an element is missing or will not link.
    bool build(GstElement* source, const CameraMode* mode);
    // Starts the pipeline and waits (bounded) for its first frame; false when it
    // failed or none came.
    bool start();
    void stop();
    // The message for a start that failed.
    const messages::Message& startFailure();
    // The size of the first frame.
    Resolution negotiatedResolution();
    // Whether the camera failed or ended after its first frame.
    bool lost();

private:
    static GstFlowReturn onNewSample(GstAppSink* sink, gpointer data);
    static GstBusSyncReply onBusMessage(GstBus* bus, GstMessage* message, gpointer data);

    bool add(GstElement* element);
    bool link(GstElement* source, GstElement* mode, GstElement* decode, GstElement* convert,
              GstElement* sink);
    void handOver(GstSample* sample, GstElement* sink);
    void noteResolution(GstSample* sample);
    void recordError(GstMessage* message);
    void recordEnd();
    void reportLoss(const std::string& what);

    GstElement* bin = nullptr; // host thread only

    // Frame hand-over: the streaming thread holds it while the client has a frame,
    // so stop waits for that frame and no frame is handed over afterwards.
    std::mutex deliveryMutex;
    ControllerClient& client;
    bool delivering = false; // guarded by deliveryMutex
    bool cameraLost = false; // guarded by deliveryMutex

    // What the start waits for: the first frame's size, the first error, the end.
    std::mutex stateMutex;
    std::condition_variable stateChanged;
    const GstObject* source = nullptr; // guarded by stateMutex
    Resolution firstFrameSize;         // guarded by stateMutex
    bool frameSeen = false;            // guarded by stateMutex
    bool endedEarly = false;           // guarded by stateMutex
    GError* firstError = nullptr;      // guarded by stateMutex
    std::string firstErrorDebug;       // guarded by stateMutex
    bool errorFromSource = false;      // guarded by stateMutex
};

} // namespace framegrab
