#include "encoded_camera.h"

#include "frame_mark.h"

#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>
#include <gst/video/video.h>
#include <stdexcept>
#include <string>
#include <time.h>

namespace framegrab_bench {

namespace {

// Room for this many pushed frames in the source: a camera's few buffers.
constexpr guint64 SOURCE_BUFFERS = 3;
// Enough pushes for hours at the camera's rate.
constexpr std::size_t MOST_PUSHES = 1u << 22;

// Paints each frame's number into the raw frames on their way to the encoder.
GstPadProbeReturn markFrame(GstPad* pad, GstPadProbeInfo* info, gpointer data) {
    auto* number = static_cast<unsigned*>(data);
    GstBuffer* buffer = gst_buffer_make_writable(GST_PAD_PROBE_INFO_BUFFER(info));
    GST_PAD_PROBE_INFO_DATA(info) = buffer;
    GstCaps* caps = gst_pad_get_current_caps(pad);
    GstVideoInfo video;
    GstVideoFrame frame;
    if (caps != nullptr && gst_video_info_from_caps(&video, caps) &&
        gst_video_frame_map(&frame, &video, buffer, GST_MAP_WRITE)) {
        auto plane = [&frame](guint p) {
            return static_cast<std::uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, p));
        };
        auto stride = [&frame](guint p) {
            return static_cast<std::size_t>(GST_VIDEO_FRAME_PLANE_STRIDE(&frame, p));
        };
        paintMark(plane(0), stride(0), plane(1), plane(2), stride(1), (*number)++);
        gst_video_frame_unmap(&frame);
    }
    if (caps != nullptr)
        gst_caps_unref(caps);
    return GST_PAD_PROBE_OK;
}

} // namespace

std::int64_t threadCpuNs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

EncodedCamera::EncodedCamera(int frameWidth, int frameHeight, int framesPerSecond, unsigned frames,
                             int quality)
    : width(frameWidth), height(frameHeight), rate(framesPerSecond), pushTimes(MOST_PUSHES) {
    gst_init(nullptr, nullptr);
    const std::string description =
        "videotestsrc pattern=smpte num-buffers=" + std::to_string(frames) +
        " ! video/x-raw,format=Y42B,width=" + std::to_string(width) +
        ",height=" + std::to_string(height) + ",framerate=" + std::to_string(rate) +
        "/1 ! identity name=mark ! jpegenc quality=" + std::to_string(quality) +
        " ! appsink name=out sync=false";
    GError* error = nullptr;
    GstElement* encoder = gst_parse_launch(description.c_str(), &error);
    if (encoder == nullptr || error != nullptr)
        throw std::runtime_error("cannot encode the test frames: " +
                                 std::string(error != nullptr ? error->message : "?"));
    unsigned number = 0;
    GstElement* mark = gst_bin_get_by_name(GST_BIN(encoder), "mark");
    GstPad* marked = gst_element_get_static_pad(mark, "src");
    gst_pad_add_probe(marked, GST_PAD_PROBE_TYPE_BUFFER, &markFrame, &number, nullptr);
    gst_object_unref(marked);
    gst_object_unref(mark);
    GstElement* out = gst_bin_get_by_name(GST_BIN(encoder), "out");
    gst_element_set_state(encoder, GST_STATE_PLAYING);
    while (GstSample* sample = gst_app_sink_pull_sample(GST_APP_SINK(out))) {
        encoded.push_back(gst_buffer_ref(gst_sample_get_buffer(sample)));
        gst_sample_unref(sample);
    }
    gst_element_set_state(encoder, GST_STATE_NULL);
    gst_object_unref(out);
    gst_object_unref(encoder);
    if (encoded.size() != frames)
        throw std::runtime_error("the encoder made " + std::to_string(encoded.size()) +
                                 " frames, not " + std::to_string(frames));
}

EncodedCamera::~EncodedCamera() {
    stop();
    if (source != nullptr)
        gst_object_unref(source);
    for (GstBuffer* buffer : encoded)
        gst_buffer_unref(buffer);
}

double EncodedCamera::averageFrameBytes() const {
    double total = 0;
    for (GstBuffer* buffer : encoded)
        total += static_cast<double>(gst_buffer_get_size(buffer));
    return total / static_cast<double>(encoded.size());
}

framegrab::SourceFactory EncodedCamera::factory() {
    return [this](const std::string&) -> GstElement* {
        // appsrc ! capsfilter in a bin: the filter states the camera's one mode
        // (an appsrc states none before it runs).
        GstElement* camera = gst_bin_new(nullptr);
        GstElement* pusher = gst_element_factory_make("appsrc", nullptr);
        GstElement* mode = gst_element_factory_make("capsfilter", nullptr);
        GstCaps* caps =
            gst_caps_new_simple("image/jpeg", "width", G_TYPE_INT, width, "height", G_TYPE_INT,
                                height, "framerate", GST_TYPE_FRACTION, rate, 1, nullptr);
        g_object_set(pusher, "caps", caps, "is-live", TRUE, "format", GST_FORMAT_TIME,
                     "do-timestamp", TRUE, "max-buffers", SOURCE_BUFFERS, "leaky-type",
                     1 /* upstream: the new frame is dropped */, nullptr);
        g_object_set(mode, "caps", caps, nullptr);
        gst_caps_unref(caps);
        gst_bin_add_many(GST_BIN(camera), pusher, mode, nullptr);
        gst_element_link(pusher, mode);
        GstPad* output = gst_element_get_static_pad(mode, "src");
        gst_element_add_pad(camera, gst_ghost_pad_new("src", output));
        gst_object_unref(output);
        std::lock_guard<std::mutex> lock(sourceMutex);
        if (source != nullptr)
            gst_object_unref(source);
        source = GST_ELEMENT(gst_object_ref(pusher));
        return camera;
    };
}

GstElement* EncodedCamera::pipeline() {
    std::lock_guard<std::mutex> lock(sourceMutex);
    GstObject* camera = source != nullptr ? gst_object_get_parent(GST_OBJECT(source)) : nullptr;
    if (camera == nullptr)
        return nullptr;
    GstObject* whole = gst_object_get_parent(camera);
    gst_object_unref(camera);
    return GST_ELEMENT(whole);
}

void EncodedCamera::start() {
    running = true;
    pacer = std::thread([this] { pace(); });
}

void EncodedCamera::stop() {
    running = false;
    if (pacer.joinable())
        pacer.join();
}

void EncodedCamera::pace() {
    const auto period = std::chrono::nanoseconds(1000000000 / rate);
    auto due = Clock::now();
    const std::int64_t cpuAtStart = threadCpuNs();
    for (std::size_t push = 0; running && push < MOST_PUSHES; ++push) {
        std::this_thread::sleep_until(due);
        GstElement* target = nullptr;
        {
            std::lock_guard<std::mutex> lock(sourceMutex);
            if (source != nullptr)
                target = GST_ELEMENT(gst_object_ref(source));
        }
        const auto now = Clock::now();
        if (now - due > period / 2)
            ++late;
        pushTimes[push] = now;
        pushes.store(push + 1, std::memory_order_release);
        if (target != nullptr) {
            // A new buffer sharing the frame's memory: the source stamps it.
            gst_app_src_push_buffer(GST_APP_SRC(target),
                                    gst_buffer_copy(encoded[push % encoded.size()]));
            gst_object_unref(target);
        }
        due += period;
        pacerCpu = threadCpuNs() - cpuAtStart;
    }
}

} // namespace framegrab_bench
