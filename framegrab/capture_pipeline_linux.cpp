#include "capture_pipeline_linux.h"

#include "camera_caps_linux.h"
#include "conduit/kit/boundary.h"
#include "sample_frame_linux.h"
#include "start_failure_linux.h"

#include <atomic>
#include <chrono>
#include <gst/video/video.h>
#include <initializer_list>

namespace framegrab {

namespace {

// How long start waits for the camera's first frame, which fixes the resolution.
constexpr std::chrono::seconds START_TIMEOUT{10};

// GStreamer hands pipelines to its streaming threads (kept in a pool and reused)
// through futexes that ThreadSanitizer cannot see. This counter makes that hand-over
// visible: the host thread releases it once a pipeline is built, and every callback
// acquires it before it touches the pipeline.
std::atomic<unsigned> pipelinesBuilt{0};

void acquirePipelines() { pipelinesBuilt.load(std::memory_order_acquire); }

bool isWithin(const GstObject* object, const GstObject* ancestor) {
    return object != nullptr && ancestor != nullptr &&
           (object == ancestor ||
            gst_object_has_as_ancestor(const_cast<GstObject*>(object),
                                       const_cast<GstObject*>(ancestor)) != FALSE);
}

} // namespace

CapturePipeline::CapturePipeline(ControllerClient& frameClient) : client(frameClient) {}

CapturePipeline::~CapturePipeline() { stop(); }

bool CapturePipeline::add(GstElement* element) {
    if (element == nullptr)
        return true;
    if (gst_bin_add(GST_BIN(bin), element) != FALSE)
        return true;
    // The bin owns every element it took; one it refuses is released here.
    gst_object_unref(gst_object_ref_sink(element));
    return false;
}

bool CapturePipeline::link(GstElement* cameraSource, GstElement* mode, GstElement* decode,
                           GstElement* convert, GstElement* sink) {
    GstElement* previous = nullptr;
    for (GstElement* element : {cameraSource, mode, decode, convert, sink}) {
        if (element == nullptr)
            continue;
        if (previous != nullptr && gst_element_link(previous, element) == FALSE)
            return false;
        previous = element;
    }
    return true;
}

bool CapturePipeline::build(GstElement* cameraSource, const CameraMode* mode) {
    bin = gst_pipeline_new("framegrab");
    if (bin == nullptr || cameraSource == nullptr) {
        if (cameraSource != nullptr)
            gst_object_unref(gst_object_ref_sink(cameraSource));
        return false;
    }
    gst_object_set_name(GST_OBJECT(cameraSource), "source");
    GstElement* shape = mode != nullptr ? gst_element_factory_make("capsfilter", "mode") : nullptr;
    GstElement* decode = mode != nullptr && mode->encoding == Encoding::Mjpeg
                             ? gst_element_factory_make("jpegdec", "decode")
                             : nullptr;
    GstElement* convert = gst_element_factory_make("videoconvert", "convert");
    GstElement* sink = gst_element_factory_make("appsink", "sink");
    bool complete = true;
    for (GstElement* element : {cameraSource, shape, decode, convert, sink})
        complete = add(element) && complete;
    const bool decoderMissing = mode != nullptr && mode->encoding == Encoding::Mjpeg && !decode;
    if (!complete || convert == nullptr || sink == nullptr || (mode != nullptr && !shape) ||
        decoderMissing)
        return false;

    if (shape != nullptr) {
        GstCaps* caps = capsForMode(*mode);
        g_object_set(shape, "caps", caps, nullptr);
        gst_caps_unref(caps);
    }

    GstAppSink* appSink = GST_APP_SINK(sink);
    GstCaps* bgra = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "BGRA", nullptr);
    gst_app_sink_set_caps(appSink, bgra);
    gst_caps_unref(bgra);
    // At most one frame waits; a newer frame replaces it (late frames are dropped).
    gst_app_sink_set_max_buffers(appSink, 1);
    gst_app_sink_set_drop(appSink, TRUE);
    gst_app_sink_set_emit_signals(appSink, FALSE);
    g_object_set(sink, "sync", FALSE, "enable-last-sample", FALSE, nullptr);
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = &CapturePipeline::onNewSample;
    gst_app_sink_set_callbacks(appSink, &callbacks, this, nullptr);

    if (!link(cameraSource, shape, decode, convert, sink))
        return false;

    {
        const conduit::kit::MutexLock lock(stateMutex);
        source = GST_OBJECT(cameraSource);
    }
    GstBus* bus = gst_element_get_bus(bin);
    gst_bus_set_sync_handler(bus, &CapturePipeline::onBusMessage, this, nullptr);
    gst_object_unref(bus);
    pipelinesBuilt.fetch_add(1, std::memory_order_release);
    return true;
}

bool CapturePipeline::start() {
    {
        const conduit::kit::MutexLock lock(deliveryMutex);
        delivering = true;
    }
    if (gst_element_set_state(bin, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE)
        return false;
    conduit::kit::MutexLock lock(stateMutex);
    lock.waitFor(stateChanged, START_TIMEOUT, [this]() KX_REQUIRES(stateMutex) {
        return frameSeen || firstError != nullptr || endedEarly;
    });
    return frameSeen && firstError == nullptr;
}

void CapturePipeline::stop() {
    {
        // Waits for a frame being handed over; later samples are not handed over,
        // and a failure while the pipeline goes down is no loss of the camera.
        const conduit::kit::MutexLock lock(deliveryMutex);
        delivering = false;
    }
    if (bin != nullptr) {
        // Joins the streaming thread.
        gst_element_set_state(bin, GST_STATE_NULL);
        gst_object_unref(bin);
        bin = nullptr;
    }
    // The streaming thread is done; taking both locks once more orders its last
    // accesses before whatever follows (such as freeing this pipeline) in a way the
    // race detector sees too.
    const conduit::kit::MutexLock delivery(deliveryMutex);
    const conduit::kit::MutexLock state(stateMutex);
    if (firstError != nullptr) {
        g_error_free(firstError);
        firstError = nullptr;
    }
}

const messages::Message& CapturePipeline::startFailure() {
    const conduit::kit::MutexLock lock(stateMutex);
    return classifyStartFailure(firstError, firstErrorDebug.c_str(), errorFromSource);
}

Resolution CapturePipeline::negotiatedResolution() {
    const conduit::kit::MutexLock lock(stateMutex);
    return firstFrameSize;
}

bool CapturePipeline::lost() {
    const conduit::kit::MutexLock lock(deliveryMutex);
    return cameraLost;
}

GstFlowReturn CapturePipeline::onNewSample(GstAppSink* sink, gpointer data) {
    GstSample* sample = gst_app_sink_pull_sample(sink);
    if (sample == nullptr)
        return GST_FLOW_OK;
    acquirePipelines();
    auto* pipeline = static_cast<CapturePipeline*>(data);
    pipeline->noteResolution(sample);
    pipeline->handOver(sample, GST_ELEMENT(sink));
    gst_sample_unref(sample);
    return GST_FLOW_OK;
}

void CapturePipeline::noteResolution(GstSample* sample) {
    GstVideoInfo info;
    GstCaps* caps = gst_sample_get_caps(sample);
    const bool known = caps != nullptr && gst_video_info_from_caps(&info, caps) != FALSE;
    const conduit::kit::MutexLock lock(stateMutex);
    if (frameSeen || !known)
        return;
    firstFrameSize.width = GST_VIDEO_INFO_WIDTH(&info);
    firstFrameSize.height = GST_VIDEO_INFO_HEIGHT(&info);
    frameSeen = true;
    stateChanged.notify_all();
}

void CapturePipeline::handOver(GstSample* sample, GstElement* sink) {
    const conduit::kit::MutexLock lock(deliveryMutex);
    if (!delivering)
        return;
    // Exceptions must not unwind into GStreamer's C frames.
    conduit::kit::guarded([&] { handOverSample(client, sample, captureTime(sample, sink)); },
                          conduit::kit::unreported);
}

GstBusSyncReply CapturePipeline::onBusMessage(GstBus*, GstMessage* message, gpointer data) {
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
        acquirePipelines();
        static_cast<CapturePipeline*>(data)->recordError(message);
    } else if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS) {
        acquirePipelines();
        static_cast<CapturePipeline*>(data)->recordEnd();
    }
    // Nobody reads the bus: dropping every message keeps it from growing. A message
    // dropped here is ours to release; each one holds its source element, and with
    // it the whole pipeline and the bus's sockets.
    gst_message_unref(message);
    return GST_BUS_DROP;
}

void CapturePipeline::recordError(GstMessage* message) {
    GError* error = nullptr;
    gchar* debug = nullptr;
    gst_message_parse_error(message, &error, &debug);
    // Exceptions must not unwind into GStreamer's C frames.
    conduit::kit::guarded(
        [&] {
            bool afterStart = false;
            {
                const conduit::kit::MutexLock lock(stateMutex);
                afterStart = frameSeen;
                if (!afterStart && firstError == nullptr && error != nullptr) {
                    firstErrorDebug = debug != nullptr ? debug : "";
                    firstError = error;
                    error = nullptr;
                    errorFromSource = isWithin(GST_MESSAGE_SRC(message), source);
                }
            }
            stateChanged.notify_all();
            if (!afterStart)
                return;
            std::string what = "it was unplugged or its driver failed";
            if (error != nullptr && error->message != nullptr)
                what += std::string(" (") + error->message + ")";
            reportLoss(what + ".");
        },
        conduit::kit::unreported);
    if (error != nullptr)
        g_error_free(error);
    g_free(debug);
}

void CapturePipeline::recordEnd() {
    bool afterStart = false;
    {
        const conduit::kit::MutexLock lock(stateMutex);
        afterStart = frameSeen;
        endedEarly = !afterStart;
    }
    stateChanged.notify_all();
    if (afterStart)
        conduit::kit::guarded([this] { reportLoss("its stream ended."); },
                              conduit::kit::unreported);
}

void CapturePipeline::reportLoss(const std::string& what) {
    // Under the hand-over lock, as a frame: the message comes after the last frame,
    // and stop waits for it, so that no message follows close.
    const conduit::kit::MutexLock lock(deliveryMutex);
    if (!delivering)
        return; // stopping, or lost already
    delivering = false;
    cameraLost = true;
    client.errorFcn(messages::DEVICE_LOST_ID, messages::DEVICE_LOST_TEXT + what);
}

} // namespace framegrab
