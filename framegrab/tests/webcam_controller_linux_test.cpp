#include "framegrab/webcam_controller_linux.h"
#include "recording_client.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <gst/gst.h>
#include <gtest/gtest.h>
#include <limits>
#include <mutex>
#include <string>
#include <vector>

// The GStreamer controller on the generated test camera, and with identifiers
// that name no camera.

namespace {

using namespace std::chrono_literals;
using framegrab::LinuxWebcamController;
using framegrab::Resolution;
using framegrab::testing::FrameRecord;
using framegrab::testing::RecordingClient;

constexpr auto WAIT = 10s;

// The generated test camera, watched: it counts the buffers that leave the camera
// and lets the test post errors from it, as the source of an unplugged camera does.
class WatchedCamera {
public:
    ~WatchedCamera() {
        // The camera has stopped: its last probe is ordered before the destruction
        // (GStreamer's own hand-over is invisible to ThreadSanitizer).
        std::lock_guard<std::mutex> lock(mutex);
        if (camera != nullptr)
            gst_object_unref(camera);
    }

    framegrab::SourceFactory factory() {
        return [this](const std::string& uniqueID) {
            GstElement* made = framegrab::makeCameraSource(uniqueID);
            if (camera != nullptr)
                gst_object_unref(camera);
            camera = GST_ELEMENT(gst_object_ref(made));
            GstPad* output = gst_element_get_static_pad(made, "src");
            gst_pad_add_probe(output, GST_PAD_PROBE_TYPE_BUFFER, &WatchedCamera::onBuffer, this,
                              nullptr);
            gst_object_unref(output);
            // The streaming thread's first probe comes after this (see onBuffer).
            probesAdded.fetch_add(1, std::memory_order_release);
            return made;
        };
    }

    // An error as v4l2src posts it when its device goes away.
    void postReadError() {
        GError* error = g_error_new_literal(GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_READ,
                                            "Could not read from resource.");
        gst_element_post_message(camera, gst_message_new_error(GST_OBJECT(camera), error,
                                                               "poll error 1: No such device"));
        g_error_free(error);
    }

    std::size_t buffers() {
        std::lock_guard<std::mutex> lock(mutex);
        return pushed;
    }
    bool waitForBuffers(std::size_t count) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, WAIT, [&] { return pushed >= count; });
    }

private:
    static GstPadProbeReturn onBuffer(GstPad*, GstPadProbeInfo*, gpointer data) {
        auto* watched = static_cast<WatchedCamera*>(data);
        watched->probesAdded.load(std::memory_order_acquire);
        std::lock_guard<std::mutex> lock(watched->mutex);
        ++watched->pushed;
        watched->changed.notify_all();
        return GST_PAD_PROBE_OK;
    }

    GstElement* camera = nullptr; // the last one made; host thread only
    std::atomic<unsigned> probesAdded{0};
    std::mutex mutex;
    std::condition_variable changed;
    std::size_t pushed = 0; // guarded by mutex
};

// Frames are whole 640x480 BGRA images, in capture order, 1/30 s apart. Capture
// times are those of the camera's frames: whole frame periods apart, more than one
// where a busy machine made the camera drop late frames.
void expectTestCameraFrames(const std::vector<FrameRecord>& frames) {
    constexpr double PERIOD = 1.0 / 30;
    ASSERT_FALSE(frames.empty());
    double shortest = std::numeric_limits<double>::infinity();
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const FrameRecord& frame = frames[i];
        SCOPED_TRACE(testing::Message() << "frame " << i);
        EXPECT_EQ(640u, frame.width);
        EXPECT_EQ(480u, frame.height);
        EXPECT_GE(frame.bytesPerRow, 640u * 4);
        EXPECT_GE(frame.dataSize, 479 * frame.bytesPerRow + 640 * 4);
        EXPECT_FALSE(frame.afterClose);
        // The test pattern's top-left bar is grey and opaque.
        EXPECT_EQ(frame.firstPixel[0], frame.firstPixel[1]);
        EXPECT_EQ(frame.firstPixel[1], frame.firstPixel[2]);
        EXPECT_EQ(255, frame.firstPixel[3]);
        EXPECT_GT(frame.timestamp, 0.0);
        if (i > 0) {
            const double gap = frame.timestamp - frames[i - 1].timestamp;
            const double periods = std::round(gap / PERIOD);
            EXPECT_GT(gap, 0.0);
            EXPECT_GE(periods, 1.0) << "gap " << gap;
            EXPECT_NEAR(periods * PERIOD, gap, 0.002);
            shortest = std::min(shortest, gap);
        }
    }
    if (frames.size() > 1) {
        EXPECT_NEAR(PERIOD, shortest, 0.002);
    }
}

TEST(LinuxWebcamController, TestCameraDeliversBgraFramesAt30PerSecond) {
    RecordingClient client;
    LinuxWebcamController controller(client, "videotestsrc");
    ASSERT_TRUE(controller.open());
    EXPECT_EQ("videotestsrc", controller.device());
    const Resolution resolution = controller.getWebcamResolution();
    EXPECT_EQ(640.0, resolution.width);
    EXPECT_EQ(480.0, resolution.height);
    ASSERT_TRUE(client.waitForFrames(10, WAIT));
    controller.close();
    client.markClosed();
    expectTestCameraFrames(client.takeFrames());
    EXPECT_TRUE(client.takeErrors().empty());
    // The resolution stays known after close.
    EXPECT_EQ(640.0, controller.getWebcamResolution().width);
    EXPECT_TRUE(client.takeErrors().empty());
}

TEST(LinuxWebcamController, CloseWaitsForTheFrameBeingHandedOver) {
    RecordingClient client;
    client.holdFrame = 100ms;
    LinuxWebcamController controller(client, "videotestsrc");
    ASSERT_TRUE(controller.open());
    ASSERT_TRUE(client.waitForFrameInProgress(WAIT));
    controller.close();
    // No frame is with the client when close returns, and none comes later.
    EXPECT_EQ(0, client.framesInProgress());
    client.markClosed();
    const std::size_t delivered = client.takeFrames().size();
    EXPECT_GE(delivered, 1u);
    controller.open();
    ASSERT_TRUE(client.waitForFrames(1, WAIT));
    controller.close();
    for (const FrameRecord& frame : client.takeFrames())
        EXPECT_TRUE(frame.afterClose) << "only frames of the second open arrive after the mark";
}

TEST(LinuxWebcamController, TimeStampsKeepGrowingAcrossCloseAndOpen) {
    RecordingClient client;
    LinuxWebcamController controller(client, "videotestsrc");
    ASSERT_TRUE(controller.open());
    ASSERT_TRUE(client.waitForFrames(3, WAIT));
    controller.close();
    const double lastOfFirstRun = client.takeFrames().back().timestamp;
    ASSERT_TRUE(controller.open());
    ASSERT_TRUE(client.waitForFrames(3, WAIT));
    controller.close();
    const auto second = client.takeFrames();
    EXPECT_GT(second.front().timestamp, lastOfFirstRun);
    expectTestCameraFrames(second);
}

TEST(LinuxWebcamController, OpenWhileOpenKeepsTheOneSession) {
    RecordingClient client;
    LinuxWebcamController controller(client, "videotestsrc");
    ASSERT_TRUE(controller.open());
    ASSERT_TRUE(controller.open());
    ASSERT_TRUE(client.waitForFrames(6, WAIT));
    controller.close();
    controller.close();
    // One session: each capture time is handed over once.
    expectTestCameraFrames(client.takeFrames());
}

TEST(LinuxWebcamController, IdentifiersThatNameNoCameraAreInaccessible) {
    const char* identifiers[] = {
        "no-such-camera",          // neither the test camera nor a path
        "",                        // nothing at all
        "video0",                  // not a path
        "/dev/framegrab-none",     // no such file
        "/dev/null",               // a device, but no camera
        "/tmp",                    // not a device
        "videotestsrc ! fakesink", // no pipeline text is ever parsed
    };
    for (const char* identifier : identifiers) {
        SCOPED_TRACE(identifier);
        RecordingClient client;
        LinuxWebcamController controller(client, identifier);
        EXPECT_FALSE(controller.open());
        EXPECT_EQ("", controller.device());
        auto errors = client.takeErrors();
        ASSERT_EQ(1u, errors.size());
        EXPECT_EQ("KORVEX:webcam:deviceInaccessible", errors[0].identifier);
        EXPECT_EQ("Unable to gain access to the webcam.", errors[0].text);

        const Resolution resolution = controller.getWebcamResolution();
        EXPECT_EQ(0.0, resolution.width);
        EXPECT_EQ(0.0, resolution.height);
        errors = client.takeErrors();
        ASSERT_EQ(1u, errors.size());
        EXPECT_EQ("KORVEX:webcam:invalidResolution", errors[0].identifier);
        EXPECT_EQ("Unable to determine resolution of the webcam.", errors[0].text);
        controller.close();
        EXPECT_TRUE(client.takeFrames().empty());
    }
}

TEST(LinuxWebcamController, AnErrorWhileOpenIsReportedOnceAndNoFrameFollows) {
    RecordingClient client;
    WatchedCamera camera;
    LinuxWebcamController controller(client, "videotestsrc", camera.factory());
    ASSERT_TRUE(controller.open());
    ASSERT_TRUE(client.waitForFrames(2, WAIT));
    // The camera goes away; this one keeps sending, so only the controller can
    // stop the frames. A second error (GStreamer's own follow-up) is no second loss.
    camera.postReadError();
    camera.postReadError();
    ASSERT_TRUE(camera.waitForBuffers(camera.buffers() + 3));
    controller.close();
    const auto errors = client.takeErrors();
    ASSERT_EQ(1u, errors.size());
    EXPECT_EQ("KORVEX:webcam:deviceLost", errors[0].identifier);
    EXPECT_EQ("The webcam stopped delivering frames: it was unplugged or its driver failed "
              "(Could not read from resource.).",
              errors[0].text);
    for (const FrameRecord& frame : client.takeFrames())
        EXPECT_FALSE(frame.afterError);

    // The camera is back: open starts it again.
    ASSERT_TRUE(controller.open());
    ASSERT_TRUE(client.waitForFrames(2, WAIT));
    controller.close();
    EXPECT_TRUE(client.takeErrors().empty());
}

TEST(LinuxWebcamController, AnErrorAfterCloseReachesNobody) {
    RecordingClient client;
    WatchedCamera camera;
    LinuxWebcamController controller(client, "videotestsrc", camera.factory());
    ASSERT_TRUE(controller.open());
    controller.close();
    // The pipeline is gone; an error of its former camera reaches nobody.
    camera.postReadError();
    EXPECT_TRUE(client.takeErrors().empty());
}

TEST(LinuxWebcamController, TheTestCameraStatesItsOneModeWithoutStarting) {
    RecordingClient client;
    WatchedCamera camera;
    LinuxWebcamController controller(client, "videotestsrc", camera.factory());
    const auto modes = controller.listModes();
    ASSERT_EQ(1u, modes.size());
    EXPECT_EQ(640, modes[0].width);
    EXPECT_EQ(480, modes[0].height);
    EXPECT_EQ(0u, camera.buffers()) << "reading the modes sends no frame";
    EXPECT_EQ("", controller.device());

    // Run in that mode, the camera delivers as it does by default.
    controller.useMode(modes[0]);
    ASSERT_TRUE(controller.open());
    ASSERT_TRUE(client.waitForFrames(3, WAIT));
    controller.close();
    expectTestCameraFrames(client.takeFrames());
    EXPECT_TRUE(client.takeErrors().empty());
}

TEST(LinuxWebcamController, AModeTheCameraDoesNotDeliverFailsTheOpen) {
    RecordingClient client;
    LinuxWebcamController controller(client, "videotestsrc");
    framegrab::CameraMode elsewhere = controller.listModes().at(0);
    elsewhere.width = 320;
    elsewhere.height = 240;
    controller.useMode(elsewhere);
    EXPECT_FALSE(controller.open());
    const auto errors = client.takeErrors();
    ASSERT_EQ(1u, errors.size());
    EXPECT_EQ("KORVEX:webcam:sessionCreationError", errors[0].identifier);
    EXPECT_TRUE(client.takeFrames().empty());
}

TEST(LinuxWebcamController, CamerasThatCannotBeOpenedStateNoModesAndSayNothing) {
    for (const char* identifier : {"no-such-camera", "/dev/framegrab-none", "/dev/null"}) {
        RecordingClient client;
        LinuxWebcamController controller(client, identifier);
        EXPECT_TRUE(controller.listModes().empty()) << identifier;
        EXPECT_TRUE(client.takeErrors().empty()) << identifier;
    }
}

TEST(LinuxWebcamController, ResolutionBeforeAnyOpenIsInvalid) {
    RecordingClient client;
    LinuxWebcamController controller(client, "videotestsrc");
    const Resolution resolution = controller.getWebcamResolution();
    EXPECT_EQ(0.0, resolution.width);
    EXPECT_EQ(0.0, resolution.height);
    const auto errors = client.takeErrors();
    ASSERT_EQ(1u, errors.size());
    EXPECT_EQ("KORVEX:webcam:invalidResolution", errors[0].identifier);
    EXPECT_EQ("", controller.device());
}

} // namespace
