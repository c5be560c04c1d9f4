#include "conduit/kit/kit.h"
#include "fake_cameras_linux.h"
#include "framegrab/device.h"
#include "framegrab/webcam_controller_linux.h"
#include "host/channel.h"
#include "host/i18n/ustring_conversion.h"
#include "host/property_list.h"
#include "webcam/string_vector_property.h"
#include "webcam/video_data_buffer.h"

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// The capture device with its real GStreamer controller and pipeline on cameras
// made of test sources: an MJPEG-only camera, a raw camera whose large modes are
// slow, and cameras that fail or end while open. The device is driven through its
// interface on the stand-in channel, as the host drives the loaded plug-in (which
// has no way to take another source).

namespace {

using namespace std::chrono_literals;
using framegrab::Device;
using framegrab::LinuxWebcamController;
using framegrab::testing::FakeCamera;
using korvex::host::Options;
using korvex::host::PropertyListOwner;
using korvex::host::scalarValue;

using DevicePtr = std::unique_ptr<Device, conduit::kit::Releaser>;
using Strings = std::vector<std::string>;

constexpr auto WAIT = 20s;

// 1920x1080 comes only at 15 frames a second, so the default is 1280x720.
const std::string MJPEG_OFFERS = "image/jpeg, width=640, height=480, framerate={ 30/1, 15/1 }; "
                                 "image/jpeg, width=1280, height=720, framerate={ 30/1, 15/1 }; "
                                 "image/jpeg, width=1920, height=1080, framerate=15/1";

// Raw frames that are slow at the large sizes, as USB cameras send YUY2.
const std::string RAW_OFFERS =
    "video/x-raw, format=YUY2, width=640, height=480, framerate={ 30/1, 15/1 }; "
    "video/x-raw, format=YUY2, width=1280, height=720, framerate=10/1; "
    "video/x-raw, format=YUY2, width=1920, height=1080, framerate=5/1";

const std::string SMALL_RAW = "video/x-raw, format=YUY2, width=320, height=240, framerate=30/1";

// Frames as the channel gets them, each with the number of messages posted before
// it; callbacks only record.
class FrameLog {
public:
    explicit FrameLog(korvex::host::Channel& hostChannel) : channel(hostChannel) {
        channel.setBufferHandler([this](korvex::host::BufferPtr buffer) {
            const std::size_t messages = channel.messages().size();
            {
                std::lock_guard<std::mutex> lock(mutex);
                frames.push_back(std::move(buffer));
                messagesBefore.push_back(messages);
            }
            arrived.notify_all();
            return true;
        });
    }
    ~FrameLog() { channel.setBufferHandler(nullptr); }

    bool waitFor(std::size_t count) {
        std::unique_lock<std::mutex> lock(mutex);
        return arrived.wait_for(lock, WAIT, [&] { return frames.size() >= count; });
    }
    std::size_t count() {
        std::lock_guard<std::mutex> lock(mutex);
        return frames.size();
    }
    // Every frame was handed on before any message was posted.
    bool allBeforeMessages(std::size_t messages) {
        std::lock_guard<std::mutex> lock(mutex);
        for (std::size_t seen : messagesBefore)
            if (seen >= messages)
                return false;
        return true;
    }
    void expectWholeFrames(std::size_t width, std::size_t height) {
        std::lock_guard<std::mutex> lock(mutex);
        ASSERT_FALSE(frames.empty());
        for (const auto& buffer : frames) {
            const auto* frame = dynamic_cast<const webcam::VideoDataBuffer*>(buffer.get());
            ASSERT_NE(nullptr, frame);
            EXPECT_EQ(width, frame->width);
            EXPECT_EQ(height, frame->height);
            EXPECT_EQ(4u, frame->bytesPerPixel);
            ASSERT_EQ(width * height * 4, frame->size);
            // Opaque BGRA in the first and the last pixel.
            EXPECT_EQ(255, frame->data[3]);
            EXPECT_EQ(255, frame->data[frame->size - 1]);
        }
    }

private:
    korvex::host::Channel& channel;
    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<korvex::host::BufferPtr> frames;
    std::vector<std::size_t> messagesBefore;
};

class CameraDevice : public testing::Test {
protected:
    DevicePtr makeDevice(FakeCamera& camera) {
        return DevicePtr(
            new Device(channel, [&camera](Device& device, const conduit::kit::ustring& uniqueID) {
                return std::make_unique<LinuxWebcamController>(
                    device, korvex::i18n::narrow(uniqueID), camera.factory());
            }));
    }

    // init with "Resolution" and "RequestedFramerate" as the host passes text.
    void init(Device& device, const std::string& resolution = "",
              const std::string& framerate = "") {
        Options options;
        options.set(Device::WEBCAM_ID, korvex::i18n::widen("/dev/v4l/by-id/usb-fake-video-index0"));
        if (!resolution.empty())
            options.set(Device::RESOLUTION, korvex::i18n::widen(resolution));
        if (!framerate.empty())
            options.set(Device::REQUESTED_FRAME_RATE, korvex::i18n::widen(framerate));
        device.init(options, published.list());
    }

    Strings available() const {
        const auto* list = dynamic_cast<const webcam::StringVectorProperty*>(
            published.find(Device::AVAILABLE_RESOLUTIONS));
        return list != nullptr ? list->getValue() : Strings{"(none)"};
    }
    std::string resolution() const {
        return scalarValue<std::string>(published.find(Device::RESOLUTION)).value_or("(none)");
    }
    std::vector<double> stamps() const {
        std::vector<double> all;
        for (const auto& property : channel.properties(Device::TIMESTAMP))
            all.push_back(scalarValue<double>(property.get()).value_or(-1.0));
        return all;
    }

    // Time stamps are the camera's: whole frame periods apart (more than one where a
    // busy machine made it drop late frames), one period apart at least once.
    void expectPeriod(double perSecond) const {
        const std::vector<double> all = stamps();
        ASSERT_GE(all.size(), 3u);
        const double period = 1.0 / perSecond;
        double shortest = 1e9;
        for (std::size_t i = 1; i < all.size(); ++i) {
            const double gap = all[i] - all[i - 1];
            const double periods = std::round(gap / period);
            EXPECT_GE(periods, 1.0) << "gap " << gap << " after frame " << i;
            EXPECT_NEAR(periods * period, gap, 0.002) << "after frame " << i;
            shortest = std::min(shortest, gap);
        }
        EXPECT_NEAR(period, shortest, 0.002);
    }

    korvex::host::Channel channel;
    PropertyListOwner published;
};

struct ModeCase {
    const char* what;
    std::string camera;
    std::string resolution;
    std::string framerate;
    Strings available;
    std::size_t width;
    std::size_t height;
    double perSecond;
};

void PrintTo(const ModeCase& c, std::ostream* out) { *out << c.what; }

class CameraModes : public CameraDevice, public testing::WithParamInterface<ModeCase> {};

TEST_P(CameraModes, FramesComeInTheChosenSizeAndRate) {
    const ModeCase& c = GetParam();
    FakeCamera camera(c.camera);
    auto device = makeDevice(camera);
    init(*device, c.resolution, c.framerate);
    ASSERT_EQ(6u, published.size()) << "init refused the options";
    EXPECT_EQ(c.available, available());
    EXPECT_EQ(c.available.front(), resolution());
    EXPECT_TRUE(channel.messages().empty());
    // init leaves the camera closed: it holds no source.
    EXPECT_EQ(0, camera.sourcesAlive());

    FrameLog frames(channel);
    device->open(Options());
    ASSERT_TRUE(frames.waitFor(4));
    device->close();
    frames.expectWholeFrames(c.width, c.height);
    expectPeriod(c.perSecond);
    EXPECT_TRUE(channel.messages().empty());
    EXPECT_EQ(0, camera.sourcesAlive());
}

INSTANTIATE_TEST_SUITE_P(
    FakeCameras, CameraModes,
    testing::Values(
        // MJPEG only: the largest size at 30, then the others largest first.
        ModeCase{"mjpeg default", framegrab::testing::mjpegCamera(MJPEG_OFFERS), "", "",
                 Strings{"1280x720", "1920x1080", "640x480"}, 1280, 720, 30},
        ModeCase{"mjpeg 1920x1080", framegrab::testing::mjpegCamera(MJPEG_OFFERS), "1920x1080", "",
                 Strings{"1920x1080", "1280x720", "640x480"}, 1920, 1080, 15},
        ModeCase{"mjpeg 640x480 at 15", framegrab::testing::mjpegCamera(MJPEG_OFFERS), "640x480",
                 "15", Strings{"640x480", "1920x1080", "1280x720"}, 640, 480, 15},
        ModeCase{"mjpeg at 15", framegrab::testing::mjpegCamera(MJPEG_OFFERS), "", "15",
                 Strings{"1920x1080", "1280x720", "640x480"}, 1920, 1080, 15},
        // Raw only, slow when large: the default stays small and fast.
        ModeCase{"raw default", framegrab::testing::rawCamera(RAW_OFFERS), "", "",
                 Strings{"640x480", "1920x1080", "1280x720"}, 640, 480, 30},
        ModeCase{"raw 1920x1080", framegrab::testing::rawCamera(RAW_OFFERS), "1920x1080", "",
                 Strings{"1920x1080", "1280x720", "640x480"}, 1920, 1080, 5},
        ModeCase{"raw 1280x720 at 10", framegrab::testing::rawCamera(RAW_OFFERS), "1280x720", "10",
                 Strings{"1280x720", "1920x1080", "640x480"}, 1280, 720, 10}));

TEST_F(CameraDevice, RateAsANumberOption) {
    FakeCamera camera(framegrab::testing::mjpegCamera(MJPEG_OFFERS));
    auto device = makeDevice(camera);
    Options options;
    options.set(Device::WEBCAM_ID, korvex::i18n::widen("/dev/video7"));
    options.set(Device::RESOLUTION, korvex::i18n::widen("640x480"));
    options.set(Device::REQUESTED_FRAME_RATE, 15.0);
    device->init(options, published.list());
    ASSERT_EQ(6u, published.size());
    EXPECT_EQ("640x480", resolution());
    device->open(Options());
    ASSERT_TRUE(channel.waitForProperties(Device::TIMESTAMP, 4, WAIT));
    device->close();
    expectPeriod(15);
}

struct RefusalCase {
    const char* what;
    std::string resolution;
    std::string framerate;
    const char* identifier;
    std::string text;
};

void PrintTo(const RefusalCase& c, std::ostream* out) { *out << c.what; }

class RefusedModes : public CameraDevice, public testing::WithParamInterface<RefusalCase> {};

TEST_P(RefusedModes, PublishNothingAndLeaveNothingStarted) {
    FakeCamera camera(framegrab::testing::mjpegCamera(MJPEG_OFFERS));
    auto device = makeDevice(camera);
    init(*device, GetParam().resolution, GetParam().framerate);
    EXPECT_EQ(0u, published.size());
    const auto messages = channel.messages();
    ASSERT_EQ(1u, messages.size());
    EXPECT_EQ("error", messages[0].type);
    EXPECT_EQ(GetParam().identifier, messages[0].id);
    EXPECT_EQ(GetParam().text, messages[0].text);
    // Only the modes were read; that source is gone, and open starts nothing.
    EXPECT_EQ(1, camera.sourcesMade());
    EXPECT_EQ(0, camera.sourcesAlive());
    device->open(Options());
    device->close();
    EXPECT_EQ(1, camera.sourcesMade());
    EXPECT_EQ(0u, channel.writeCount());
    EXPECT_EQ(1u, channel.messages().size());
}

INSTANTIATE_TEST_SUITE_P(
    MjpegCamera, RefusedModes,
    testing::Values(
        RefusalCase{"size", "800x600", "", "KORVEX:webcam:unsupportedResolution",
                    "The webcam does not offer 800x600; it offers 1920x1080, 1280x720 and "
                    "640x480."},
        RefusalCase{"rate at size", "1920x1080", "30", "KORVEX:webcam:unsupportedFramerate",
                    "The webcam does not offer 30 frames a second at 1920x1080; it offers 15 "
                    "there."},
        RefusalCase{"rate", "", "60", "KORVEX:webcam:unsupportedFramerate",
                    "The webcam does not offer 60 frames a second; it offers 30 and 15."},
        RefusalCase{"not a size", "big", "", "KORVEX:webcam:unsupportedResolution",
                    "'big' is not a resolution of the form WxH (such as 1280x720); the webcam "
                    "offers 1920x1080, 1280x720 and 640x480."}));

struct LossCase {
    const char* what;
    std::string failing; // the camera of the host's first open
    std::string text;    // what the message says after "The webcam stopped delivering frames: "
};

void PrintTo(const LossCase& c, std::ostream* out) { *out << c.what; }

class LostCamera : public CameraDevice, public testing::WithParamInterface<LossCase> {};

TEST_P(LostCamera, IsReportedStopsAndOpensAgainWhenBack) {
    constexpr int FRAMES = 5;
    FakeCamera camera(framegrab::testing::rawCamera(SMALL_RAW));
    auto device = makeDevice(camera);
    init(*device);
    ASSERT_EQ("320x240", resolution());
    FrameLog frames(channel);

    // Unplugged (or failing) after a few frames while open.
    camera.description = GetParam().failing;
    device->open(Options());
    ASSERT_TRUE(channel.waitForMessages(1, WAIT));
    auto messages = channel.messages();
    ASSERT_EQ(1u, messages.size());
    EXPECT_EQ("error", messages[0].type);
    EXPECT_EQ("KORVEX:webcam:deviceLost", messages[0].id);
    EXPECT_EQ("The webcam stopped delivering frames: " + GetParam().text, messages[0].text);
    // Frames stop: none after the message, and no more than the camera sent.
    const std::size_t beforeLoss = frames.count();
    EXPECT_GE(beforeLoss, 1u);
    EXPECT_LE(beforeLoss, static_cast<std::size_t>(FRAMES));
    EXPECT_TRUE(frames.allBeforeMessages(1));
    device->close();
    EXPECT_EQ(beforeLoss, frames.count());
    EXPECT_EQ(0, camera.sourcesAlive()) << "close released the lost camera";

    // Plugged in again: the next open works, with no further message.
    camera.description = framegrab::testing::rawCamera(SMALL_RAW);
    device->open(Options());
    ASSERT_TRUE(frames.waitFor(beforeLoss + 3));
    device.reset(); // term while frames flow
    EXPECT_EQ(1u, channel.messages().size());
    frames.expectWholeFrames(320, 240);
    EXPECT_EQ(0, camera.sourcesAlive());
}

INSTANTIATE_TEST_SUITE_P(
    MidStream, LostCamera,
    testing::Values(LossCase{"error", framegrab::testing::cameraFailingAfter(5, SMALL_RAW),
                             "it was unplugged or its driver failed (Failed after iterations "
                             "as requested.)."},
                    LossCase{"end", framegrab::testing::cameraEndingAfter(5, SMALL_RAW),
                             "its stream ended."}));

TEST_F(CameraDevice, OpenAfterALossWithoutCloseStartsAgain) {
    FakeCamera camera(framegrab::testing::rawCamera(SMALL_RAW));
    auto device = makeDevice(camera);
    init(*device);
    camera.description = framegrab::testing::cameraEndingAfter(2, SMALL_RAW);
    device->open(Options());
    ASSERT_TRUE(channel.waitForMessages(1, WAIT));
    camera.description = framegrab::testing::rawCamera(SMALL_RAW);
    const std::size_t before = channel.writeCount();
    // The host opens again without closing: the lost run goes, a new one starts.
    device->open(Options());
    ASSERT_TRUE(channel.waitForProperties(Device::TIMESTAMP, before + 3, WAIT));
    EXPECT_EQ(1, camera.sourcesAlive());
    device->close();
    EXPECT_EQ(0, camera.sourcesAlive());
    EXPECT_EQ(1u, channel.messages().size());
}

} // namespace
