// An MJPEG camera of 1920x1080 at 30 frames a second, made of encoded test frames,
// through framegrab's real capture pipeline (appsrc ! capsfilter ! jpegdec !
// videoconvert ! appsink, then the device's copy into the channel) and the loaded
// pixsieve filter to planar RGB frames, as the host takes them.
//
//   mjpeg_capture_bench [--seconds S] [--quality Q] [--width W --height H] [--rate N]
//
// Reports, over S seconds after a warm-up of two:
// - the planar frames a second, and the frames dropped by our code (numbers missing
//   among the frames that arrive: the source's few buffers overflowed because the
//   pipeline fell behind, or the host's queue of planar work was full);
// - the CPU time of each stage per frame, read from the thread's CPU clock at the
//   pads of the pipeline's elements (decode, conversion to BGRA), around the
//   device's hand-over into the channel (copy) and around the filter (planar); their
//   sum at the camera's rate as a share of one core, against the goal of 40%;
// - the whole process's CPU share over the same time (the pacing camera left out);
// - the latency from a frame's source time stamp to its planar frame.

#include "conduit/kit/kit.h"
#include "encoded_camera.h"
#include "frame_mark.h"
#include "framegrab/device.h"
#include "framegrab/webcam_controller_linux.h"
#include "host/channel.h"
#include "host/i18n/ustring_conversion.h"
#include "host/plugin_loader.h"
#include "host/property_list.h"
#include "webcam/video_data_buffer.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <gst/gst.h>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <vector>

namespace {

using namespace framegrab_bench;
using Clock = EncodedCamera::Clock;

struct Settings {
    double seconds = 20;
    int quality = 85;
    int width = 1920;
    int height = 1080;
    int rate = 30;
};

// Frames of the camera's numbers: enough for four seconds of gaps to be counted.
constexpr unsigned ENCODED_FRAMES = 128;
constexpr double WARM_UP_SECONDS = 2;
// Packed frames waiting for the planar conversion, as a host's queue.
constexpr std::size_t HOST_QUEUE = 4;
constexpr double GOAL_SHARE = 0.40;

// CPU clock readings of the streaming thread at the stages of one frame.
struct StageClock {
    std::int64_t decodeIn = 0;
    std::int64_t decodeOut = 0;
    std::int64_t convertIn = 0;
    std::int64_t convertOut = 0;
};

// One packed frame on its way to the planar conversion.
struct Work {
    korvex::host::BufferPtr frame;
    double decodeNs = 0;
    double convertNs = 0;
    double copyNs = 0;
};

// One planar frame, as the consumer saw it.
struct Done {
    std::size_t push = 0;
    Clock::time_point finished;
    double decodeNs = 0;
    double convertNs = 0;
    double copyNs = 0;
    double planarNs = 0;
    double latencyMs = 0;
};

// The streaming thread's readings; only that thread touches them.
StageClock streaming;

GstPadProbeReturn stamp(GstPad*, GstPadProbeInfo*, gpointer field) {
    *static_cast<std::int64_t*>(field) = threadCpuNs();
    return GST_PAD_PROBE_OK;
}

void probe(GstElement* pipeline, const char* element, const char* pad, std::int64_t* field) {
    GstElement* found = gst_bin_get_by_name(GST_BIN(pipeline), element);
    if (found == nullptr)
        throw std::runtime_error(std::string("the pipeline has no element ") + element);
    GstPad* port = gst_element_get_static_pad(found, pad);
    gst_pad_add_probe(port, GST_PAD_PROBE_TYPE_BUFFER, &stamp, field, nullptr);
    gst_object_unref(port);
    gst_object_unref(found);
}

double percentile(std::vector<double> values, double fraction) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1));
    return values[index];
}

double mean(const std::vector<double>& values) {
    double sum = 0;
    for (double value : values)
        sum += value;
    return values.empty() ? 0 : sum / static_cast<double>(values.size());
}

double processCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

Settings parse(int argc, char** argv) {
    Settings s;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const double value = std::atof(argv[i + 1]);
        if (name == "--seconds")
            s.seconds = value;
        else if (name == "--quality")
            s.quality = static_cast<int>(value);
        else if (name == "--width")
            s.width = static_cast<int>(value);
        else if (name == "--height")
            s.height = static_cast<int>(value);
        else if (name == "--rate")
            s.rate = static_cast<int>(value);
        else
            throw std::runtime_error("unknown option " + name);
    }
    if ((argc - 1) % 2 != 0 || s.seconds <= 0 || s.rate <= 0 || s.width < 512 || s.height < 64)
        throw std::runtime_error("usage: mjpeg_capture_bench [--seconds S] [--quality Q] "
                                 "[--width W --height H] [--rate N]");
    return s;
}

int run(const Settings& s) {
    EncodedCamera camera(s.width, s.height, s.rate, ENCODED_FRAMES, s.quality);
    std::printf("camera: MJPEG %dx%d at %d frames a second, %u encoded frames of %.0f kB on "
                "average (quality %d, 4:2:2)\n",
                s.width, s.height, s.rate, camera.frameCount(), camera.averageFrameBytes() / 1000.0,
                s.quality);

    korvex::host::PluginLibrary sieveLibrary(korvex::host::pluginPath("pixsieve"));
    korvex::host::Channel channel("bench");
    channel.setKeepLatestPropertyValuesOnly(true);
    korvex::host::PropertyListOwner published;
    auto filter = sieveLibrary.createFilter(channel);
    std::unique_ptr<framegrab::Device, conduit::kit::Releaser> device(new framegrab::Device(
        channel, [&camera](framegrab::Device& owner, const conduit::kit::ustring& uniqueID) {
            return std::make_unique<framegrab::LinuxWebcamController>(
                owner, korvex::i18n::narrow(uniqueID), camera.factory());
        }));

    camera.start();
    korvex::host::Options options;
    options.set("WebcamID", korvex::i18n::widen("/dev/v4l/by-id/bench-camera"));
    device->init(options, published.list());
    for (const auto& message : channel.messages())
        throw std::runtime_error("framegrab: " + message.id + ": " + message.text);
    korvex::host::Options filterOptions;
    for (const char* name : {"InputFrameType", "OutputFrameType"})
        filterOptions.set(
            name, korvex::i18n::widen(
                      korvex::host::scalarValue<std::string>(published.find(name)).value_or("?")));
    filter->init(filterOptions);
    filter->open(korvex::host::Options());

    // The host's side: the channel queues packed frames for one worker thread,
    // which converts them to planar frames; a full queue refuses the frame.
    std::mutex mutex;
    std::condition_variable arrived;
    std::deque<Work> queue;
    std::size_t refused = 0;
    bool stopping = false;
    channel.setBufferHandler([&](korvex::host::BufferPtr frame) {
        // On the streaming thread, right after the device copied the frame.
        Work work;
        work.decodeNs = static_cast<double>(streaming.decodeOut - streaming.decodeIn);
        work.convertNs = static_cast<double>(streaming.convertOut - streaming.convertIn);
        work.copyNs = static_cast<double>(threadCpuNs() - streaming.convertOut);
        work.frame = std::move(frame);
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (queue.size() >= HOST_QUEUE) {
                ++refused;
                return false;
            }
            queue.push_back(std::move(work));
        }
        arrived.notify_one();
        return true;
    });

    std::vector<Done> done;
    std::size_t unreadable = 0; // frames pixsieve did not convert (worker thread)
    std::thread worker([&] {
        std::size_t lastPush = 0;
        bool first = true;
        for (;;) {
            Work work;
            {
                std::unique_lock<std::mutex> lock(mutex);
                arrived.wait(lock, [&] { return stopping || !queue.empty(); });
                if (queue.empty())
                    return;
                work = std::move(queue.front());
                queue.pop_front();
            }
            const std::int64_t before = threadCpuNs();
            korvex::host::BufferPtr planar(filter->filter(work.frame.release()));
            const std::int64_t after = threadCpuNs();
            const auto finished = Clock::now();
            const auto* image = dynamic_cast<const webcam::VideoDataBuffer*>(planar.get());
            if (image == nullptr || image->bytesPerPixel != 3) {
                ++unreadable;
                continue;
            }
            // Which push this frame came from: the next one (after the last frame
            // seen) that showed this number.
            const unsigned number = readMark(image->data, image->height);
            const std::size_t pushed = camera.pushCount();
            std::size_t push = first ? pushed - 1 : lastPush + 1;
            if (first)
                while (push % ENCODED_FRAMES != number)
                    --push;
            else
                while (push % ENCODED_FRAMES != number)
                    ++push;
            first = false;
            lastPush = push;
            Done record;
            record.push = push;
            record.finished = finished;
            record.decodeNs = work.decodeNs;
            record.convertNs = work.convertNs;
            record.copyNs = work.copyNs;
            record.planarNs = static_cast<double>(after - before);
            record.latencyMs =
                std::chrono::duration<double, std::milli>(finished - camera.pushedAt(push)).count();
            done.push_back(record);
        }
    });

    device->open(korvex::host::Options());
    {
        GstElement* pipeline = camera.pipeline();
        if (pipeline == nullptr)
            throw std::runtime_error("the camera did not start");
        probe(pipeline, "decode", "sink", &streaming.decodeIn);
        probe(pipeline, "decode", "src", &streaming.decodeOut);
        probe(pipeline, "convert", "sink", &streaming.convertIn);
        probe(pipeline, "convert", "src", &streaming.convertOut);
        gst_object_unref(pipeline);
    }
    std::this_thread::sleep_for(std::chrono::duration<double>(WARM_UP_SECONDS));
    const std::size_t firstPush = camera.pushCount();
    const auto windowStart = Clock::now();
    const double cpuStart = processCpuSeconds();
    const std::int64_t pacerStart = camera.pacerCpuNs();
    std::this_thread::sleep_for(std::chrono::duration<double>(s.seconds));
    const std::size_t endPush = camera.pushCount();
    const auto windowEnd = Clock::now();
    const double cpuEnd = processCpuSeconds();
    const std::int64_t pacerEnd = camera.pacerCpuNs();
    device->close();
    camera.stop();
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    arrived.notify_all();
    worker.join();
    filter->close();
    for (const auto& message : channel.messages())
        std::printf("message: %s %s: %s\n", message.type.c_str(), message.id.c_str(),
                    message.text.c_str());

    // The frames pushed inside the window, and what became of them.
    std::vector<double> decode, convert, copy, planar, latency;
    std::size_t planarInWindow = 0;
    std::size_t lastSeen = firstPush;
    std::size_t missing = 0;
    bool seenAny = false;
    for (const Done& record : done) {
        if (record.push < firstPush || record.push >= endPush)
            continue;
        missing += seenAny ? record.push - lastSeen - 1 : record.push - firstPush;
        seenAny = true;
        lastSeen = record.push;
        ++planarInWindow;
        decode.push_back(record.decodeNs / 1e6);
        convert.push_back(record.convertNs / 1e6);
        copy.push_back(record.copyNs / 1e6);
        planar.push_back(record.planarNs / 1e6);
        latency.push_back(record.latencyMs);
    }
    const std::size_t pushedInWindow = endPush - firstPush;
    // The last pushes of the window may still have been on their way when the
    // camera closed: not counted as drops.
    const std::size_t inFlight = seenAny ? endPush - lastSeen - 1 : 0;
    if (unreadable != 0)
        std::printf("pixsieve converted %zu frames to nothing\n", unreadable);
    const double windowSeconds = std::chrono::duration<double>(windowEnd - windowStart).count();
    const double pacerSeconds = static_cast<double>(pacerEnd - pacerStart) / 1e9;

    std::printf("run: %.1f s after %.0f s of warm-up; the camera pushed %zu frames (%zu of all "
                "its pushes were late by more than half a period)\n",
                windowSeconds, WARM_UP_SECONDS, pushedInWindow, camera.latePushes());
    std::printf("planar frames: %zu, %.2f a second; dropped by our code: %zu (of them refused "
                "by the host's full queue, warm-up included: %zu); on their way at the end: %zu\n",
                planarInWindow, static_cast<double>(planarInWindow) / windowSeconds, missing,
                refused, inFlight);
    std::printf("CPU per frame, ms (median / mean / p99):\n");
    const struct {
        const char* name;
        const std::vector<double>* values;
    } stages[] = {{"decode (jpegdec)", &decode},
                  {"to BGRA (videoconvert)", &convert},
                  {"copy (hand-over into the channel)", &copy},
                  {"to planar (pixsieve)", &planar}};
    double sumMean = 0;
    for (const auto& stage : stages) {
        std::printf("  %-36s %6.2f / %6.2f / %6.2f\n", stage.name, percentile(*stage.values, 0.5),
                    mean(*stage.values), percentile(*stage.values, 0.99));
        sumMean += mean(*stage.values);
    }
    const double share = sumMean * s.rate / 1000.0;
    std::printf("  %-36s %6s   %6.2f  = %.1f%% of one core at %d frames a second (goal <= "
                "%.0f%%: %s)\n",
                "all four", "", sumMean, share * 100, s.rate, GOAL_SHARE * 100,
                share <= GOAL_SHARE ? "met" : "NOT met");
    std::printf("process CPU over the run, the pacing camera left out: %.1f%% of one core\n",
                (cpuEnd - cpuStart - pacerSeconds) / windowSeconds * 100);
    std::printf("latency, source time stamp to planar frame, ms: median %.1f, p99 %.1f, max "
                "%.1f\n",
                percentile(latency, 0.5), percentile(latency, 0.99), percentile(latency, 1.0));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    try {
        return run(parse(argc, argv));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "mjpeg_capture_bench: %s\n", error.what());
        return 1;
    }
}
