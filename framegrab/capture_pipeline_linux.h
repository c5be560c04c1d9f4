#pragma once

#include "capture_controller.h"
#include "conduit/kit/mutex.h"
#include "controller_messages.h"
#include "framegrab/camera_mode.h"

#include <condition_variable>
#include <gst/app/gstappsink.h>
#include <gst/gst.h>
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
    bool start() KX_EXCLUDES(deliveryMutex, stateMutex);
    void stop() KX_EXCLUDES(deliveryMutex, stateMutex);
    // The message for a start that failed.
    const messages::Message& startFailure() KX_EXCLUDES(stateMutex);
    // The size of the first frame.
    Resolution negotiatedResolution() KX_EXCLUDES(stateMutex);
    // Whether the camera failed or ended after its first frame.
    bool lost() KX_EXCLUDES(deliveryMutex);

private:
    static GstFlowReturn onNewSample(GstAppSink* sink, gpointer data);
    static GstBusSyncReply onBusMessage(GstBus* bus, GstMessage* message, gpointer data);

    bool add(GstElement* element);
    bool link(GstElement* source, GstElement* mode, GstElement* decode, GstElement* convert,
              GstElement* sink);
    void handOver(GstSample* sample, GstElement* sink) KX_EXCLUDES(deliveryMutex);
    void noteResolution(GstSample* sample) KX_EXCLUDES(stateMutex);
    void recordError(GstMessage* message) KX_EXCLUDES(stateMutex, deliveryMutex);
    void recordEnd() KX_EXCLUDES(stateMutex, deliveryMutex);
    void reportLoss(const std::string& what) KX_EXCLUDES(deliveryMutex);

    // The bin belongs to the host thread: the callbacks never touch it. The client
    // is set once.
    GstElement* bin = nullptr;
    ControllerClient& client;

    // Frame hand-over: the streaming thread holds it while the client has a frame
    // or hears of a loss, so stop waits for that and nothing is handed over
    // afterwards.
    conduit::kit::Mutex deliveryMutex;
    bool delivering KX_GUARDED_BY(deliveryMutex) = false;
    bool cameraLost KX_GUARDED_BY(deliveryMutex) = false;

    // What the start waits for: the first frame's size, the first error, the end.
    conduit::kit::Mutex stateMutex;
    std::condition_variable stateChanged;
    const GstObject* source KX_GUARDED_BY(stateMutex) = nullptr;
    Resolution firstFrameSize KX_GUARDED_BY(stateMutex);
    bool frameSeen KX_GUARDED_BY(stateMutex) = false;
    bool endedEarly KX_GUARDED_BY(stateMutex) = false;
    GError* firstError KX_GUARDED_BY(stateMutex) = nullptr;
    std::string firstErrorDebug KX_GUARDED_BY(stateMutex);
    bool errorFromSource KX_GUARDED_BY(stateMutex) = false;
};

} // namespace framegrab
