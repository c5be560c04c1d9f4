#include "webcam_controller_linux.h"

#include "conduit/kit/boundary.h"
#include "conduit/kit/mutex.h"
#include "device.h"
#include "host/i18n/ustring_conversion.h"
#include "sample_frame_linux.h"
#include "start_failure_linux.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gst/video/video.h>
#include <utility>

namespace framegrab {

namespace {

// How long open waits for the camera's first frame, which fixes the resolution.
constexpr std::chrono::seconds START_TIMEOUT{10};

constexpr int TEST_WIDTH = 640;
constexpr int TEST_HEIGHT = 480;
constexpr int TEST_FRAMES_PER_SECOND = 30;

// GStreamer hands pipelines to its streaming threads (kept in a pool and reused)
// through futexes that ThreadSanitizer cannot see. This counter makes that hand-over
// visible: the host thread releases it once a pipeline is built, and every callback
// acquires it before it touches the pipeline.
std::atomic<unsigned> pipelinesBuilt{0};

void acquirePipelines() { pipelinesBuilt.load(std::memory_order_acquire); }

bool initialiseGStreamer() {
    GError* error = nullptr;
    const bool ready = gst_init_check(nullptr, nullptr, &error) != FALSE;
    if (error != nullptr)
        g_error_free(error);
    return ready;
}

} // namespace

const char* const LinuxWebcamController::TEST_SOURCE = "videotestsrc";

// One run of the camera: source ! [test format] ! videoconvert ! appsink (BGRA).
// The streaming thread and the bus handler reach it through the callbacks; every
// field they read is guarded by one of the two mutexes, apart from the client, which
// is set once. bin belongs to the host thread: the callbacks never touch it.
struct LinuxWebcamController::Pipeline {
    explicit Pipeline(ControllerClient& frameClient) : client(frameClient) {}
    ~Pipeline() { stop(); }
    Pipeline(const Pipeline&) = delete;
    Pipeline& operator=(const Pipeline&) = delete;

    bool build(bool testCamera, const std::string& devicePath);
    // Starts the pipeline and waits for its first frame; false when it failed.
    bool start();
    void stop();
    const messages::Message& startFailure();
    Resolution negotiatedResolution();

    static GstFlowReturn onNewSample(GstAppSink* sink, gpointer data);
    static GstBusSyncReply onBusMessage(GstBus* bus, GstMessage* message, gpointer data);

    void handOver(GstSample* sample, GstElement* sink);
    void noteResolution(GstSample* sample);
    void recordError(GstMessage* message);
    bool add(GstElement* element);

    GstElement* bin = nullptr;

    // Frame hand-over: the streaming thread holds it while the client has a frame,
    // so stop waits for that frame and no frame is handed over afterwards.
    conduit::kit::Mutex deliveryMutex;
    ControllerClient& client;
    bool delivering KX_GUARDED_BY(deliveryMutex) = false;

    // What the start waits for: the first frame's size, or the first error.
    conduit::kit::Mutex stateMutex;
    std::condition_variable stateChanged;
    const GstObject* errorSource KX_GUARDED_BY(stateMutex) = nullptr;
    Resolution firstFrameSize KX_GUARDED_BY(stateMutex);
    bool frameSeen KX_GUARDED_BY(stateMutex) = false;
    GError* firstError KX_GUARDED_BY(stateMutex) = nullptr;
    std::string firstErrorDebug KX_GUARDED_BY(stateMutex);
    bool errorFromSource KX_GUARDED_BY(stateMutex) = false;
};

bool LinuxWebcamController::Pipeline::add(GstElement* element) {
    if (element == nullptr)
        return false;
    return gst_bin_add(GST_BIN(bin), element) != FALSE;
}

bool LinuxWebcamController::Pipeline::build(bool testCamera, const std::string& devicePath) {
    bin = gst_pipeline_new("framegrab");
    if (bin == nullptr)
        return false;
    GstElement* source =
        gst_element_factory_make(testCamera ? "videotestsrc" : "v4l2src", "source");
    GstElement* shape = testCamera ? gst_element_factory_make("capsfilter", "shape") : nullptr;
    GstElement* convert = gst_element_factory_make("videoconvert", "convert");
    GstElement* sink = gst_element_factory_make("appsink", "sink");
    // The bin owns every element made; one it refuses is released here.
    bool complete = true;
    for (GstElement* element : {source, shape, convert, sink}) {
        if (element != nullptr && !add(element)) {
            gst_object_unref(gst_object_ref_sink(element));
            complete = false;
        }
    }
    if (!complete || source == nullptr || convert == nullptr || sink == nullptr ||
        (testCamera && shape == nullptr))
        return false;

    if (testCamera) {
        g_object_set(source, "is-live", TRUE, nullptr);
        GstCaps* size = gst_caps_new_simple("video/x-raw", "width", G_TYPE_INT, TEST_WIDTH,
                                            "height", G_TYPE_INT, TEST_HEIGHT, "framerate",
                                            GST_TYPE_FRACTION, TEST_FRAMES_PER_SECOND, 1, nullptr);
        g_object_set(shape, "caps", size, nullptr);
        gst_caps_unref(size);
    } else {
        // The path goes in as a property, never through a pipeline description.
        g_object_set(source, "device", devicePath.c_str(), nullptr);
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
    callbacks.new_sample = &Pipeline::onNewSample;
    gst_app_sink_set_callbacks(appSink, &callbacks, this, nullptr);

    const bool linked = testCamera
                            ? gst_element_link_many(source, shape, convert, sink, nullptr) != FALSE
                            : gst_element_link_many(source, convert, sink, nullptr) != FALSE;
    if (!linked)
        return false;

    {
        const conduit::kit::MutexLock lock(stateMutex);
        errorSource = GST_OBJECT(source);
    }
    GstBus* bus = gst_element_get_bus(bin);
    gst_bus_set_sync_handler(bus, &Pipeline::onBusMessage, this, nullptr);
    gst_object_unref(bus);
    pipelinesBuilt.fetch_add(1, std::memory_order_release);
    return true;
}

bool LinuxWebcamController::Pipeline::start() {
    {
        const conduit::kit::MutexLock lock(deliveryMutex);
        delivering = true;
    }
    if (gst_element_set_state(bin, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE)
        return false;
    conduit::kit::MutexLock lock(stateMutex);
    lock.waitFor(stateChanged, START_TIMEOUT,
                 [this]() KX_REQUIRES(stateMutex) { return frameSeen || firstError != nullptr; });
    return frameSeen && firstError == nullptr;
}

void LinuxWebcamController::Pipeline::stop() {
    {
        // Waits for a frame being handed over; later samples are not handed over.
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

const messages::Message& LinuxWebcamController::Pipeline::startFailure() {
    const conduit::kit::MutexLock lock(stateMutex);
    return classifyStartFailure(firstError, firstErrorDebug.c_str(), errorFromSource);
}

Resolution LinuxWebcamController::Pipeline::negotiatedResolution() {
    const conduit::kit::MutexLock lock(stateMutex);
    return firstFrameSize;
}

GstFlowReturn LinuxWebcamController::Pipeline::onNewSample(GstAppSink* sink, gpointer data) {
    GstSample* sample = gst_app_sink_pull_sample(sink);
    if (sample == nullptr)
        return GST_FLOW_OK;
    acquirePipelines();
    auto* pipeline = static_cast<Pipeline*>(data);
    pipeline->noteResolution(sample);
    pipeline->handOver(sample, GST_ELEMENT(sink));
    gst_sample_unref(sample);
    return GST_FLOW_OK;
}

void LinuxWebcamController::Pipeline::noteResolution(GstSample* sample) {
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

void LinuxWebcamController::Pipeline::handOver(GstSample* sample, GstElement* sink) {
    const conduit::kit::MutexLock lock(deliveryMutex);
    if (!delivering)
        return;
    // Exceptions must not unwind into GStreamer's C frames.
    conduit::kit::guarded([&] { handOverSample(client, sample, captureTime(sample, sink)); },
                          conduit::kit::unreported);
}

GstBusSyncReply LinuxWebcamController::Pipeline::onBusMessage(GstBus*, GstMessage* message,
                                                              gpointer data) {
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
        acquirePipelines();
        static_cast<Pipeline*>(data)->recordError(message);
    }
    // Nobody reads the bus: dropping every message keeps it from growing. A message
    // dropped here is ours to release; each one holds its source element, and with
    // it the whole pipeline and the bus's sockets.
    gst_message_unref(message);
    return GST_BUS_DROP;
}

void LinuxWebcamController::Pipeline::recordError(GstMessage* message) {
    GError* error = nullptr;
    gchar* debug = nullptr;
    gst_message_parse_error(message, &error, &debug);
    {
        const conduit::kit::MutexLock lock(stateMutex);
        if (firstError == nullptr && error != nullptr) {
            firstError = error;
            error = nullptr;
            firstErrorDebug = debug != nullptr ? debug : "";
            errorFromSource = GST_MESSAGE_SRC(message) == errorSource;
        }
    }
    stateChanged.notify_all();
    if (error != nullptr)
        g_error_free(error);
    g_free(debug);
}

LinuxWebcamController::LinuxWebcamController(ControllerClient& frameClient, std::string cameraID)
    : client(frameClient), uniqueID(std::move(cameraID)), gstreamerReady(initialiseGStreamer()) {}

LinuxWebcamController::~LinuxWebcamController() { close(); }

bool LinuxWebcamController::open() {
    if (pipeline)
        return true;
    resolution = Resolution();
    openedDevice.clear();
    if (!gstreamerReady) {
        report(messages::SESSION_CREATION_ERROR);
        return false;
    }
    const bool testCamera = uniqueID == TEST_SOURCE;
    // Anything else must be a device path; the source is never asked to guess.
    if (!testCamera && (uniqueID.empty() || uniqueID.front() != '/')) {
        report(messages::DEVICE_INACCESSIBLE);
        return false;
    }
    auto run = std::make_unique<Pipeline>(client);
    if (!run->build(testCamera, uniqueID)) {
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
