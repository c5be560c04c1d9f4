#include "camera_modes.h"
#include "conduit/kit/kit.h"
#include "framegrab/device.h"
#include "host/channel.h"
#include "host/i18n/ustring_conversion.h"
#include "host/property_list.h"
#include "scripted_controller.h"
#include "webcam/string_vector_property.h"
#include "webcam/video_data_buffer.h"

#include <cmath>
#include <cstdint>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using framegrab::Device;
using framegrab::PixelBuffer;
using framegrab::testing::Script;
using framegrab::testing::scriptedFactory;
using korvex::host::Options;
using korvex::host::PropertyListOwner;
using korvex::host::scalarValue;

using DevicePtr = std::unique_ptr<Device, conduit::kit::Releaser>;

constexpr double INF = std::numeric_limits<double>::infinity();

// A packed BGRA image; byte i holds i modulo 251.
struct Image {
    Image(std::size_t imageWidth, std::size_t imageHeight) : bytes(imageWidth * imageHeight * 4) {
        for (std::size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<std::uint8_t>(i % 251);
        view.baseAddress = bytes.data();
        view.bytesPerRow = imageWidth * 4;
        view.width = imageWidth;
        view.height = imageHeight;
        view.dataSize = bytes.size();
    }
    std::vector<std::uint8_t> bytes;
    PixelBuffer view;
};

class DeviceTest : public testing::Test {
protected:
    // Initialises a device whose camera is scripted; the library is this program.
    DevicePtr makeDevice() { return DevicePtr(new Device(channel, scriptedFactory(script))); }

    void init(Device& device, const char* webcamID = "camera-1") {
        Options options;
        options.set(Device::WEBCAM_ID, korvex::i18n::widen(webcamID));
        device.init(options, published.list());
    }

    std::vector<double> values(const char* name) const {
        std::vector<double> all;
        for (const auto& property : channel.properties(name))
            all.push_back(scalarValue<double>(property.get()).value_or(-1.0));
        return all;
    }

    std::string resolutionText() const {
        return scalarValue<std::string>(published.find(Device::RESOLUTION)).value_or("?");
    }

    korvex::host::Channel channel;
    Script script;
    PropertyListOwner published;
};

TEST_F(DeviceTest, InitProbesTheCameraAndLeavesItClosed) {
    auto device = makeDevice();
    init(*device, "camera-1");
    const std::vector<std::string> expected = {
        "made camera-1", "listModes", "open", "close", "open", "getWebcamResolution", "close"};
    EXPECT_EQ(expected, script.calls);
}

TEST_F(DeviceTest, InitChoosesTheModeBeforeTheProbe) {
    script.modes = framegrab::testing::usbCameraModes();
    script.resolution = {1920, 1080};
    auto device = makeDevice();
    init(*device, "camera-1");
    const std::vector<std::string> expected = {
        "made camera-1", "listModes", "useMode MJPEG 1920x1080 at 30", "open",
        "close",         "open",      "getWebcamResolution",           "close"};
    EXPECT_EQ(expected, script.calls);
    const auto* available = dynamic_cast<webcam::StringVectorProperty*>(published[0]);
    ASSERT_NE(nullptr, available);
    EXPECT_EQ((std::vector<std::string>{"1920x1080", "1280x720", "640x480"}),
              available->getValue());
    EXPECT_EQ("1920x1080", resolutionText());
    EXPECT_TRUE(channel.messages().empty());
}

TEST_F(DeviceTest, ResolutionAndRateOptionsChooseTheMode) {
    struct Case {
        const char* resolution;
        const char* framerate;
        const char* used;
    };
    for (const Case& c : {Case{"640x480", "", "useMode YUY2 640x480 at 30"},
                          Case{"1280x720", "10", "useMode YUY2 1280x720 at 10"},
                          Case{"", "24", "useMode MJPEG 1920x1080 at 24"},
                          Case{"1280x720", "30000/1001", "useMode MJPEG 1280x720 at 30"}}) {
        SCOPED_TRACE(c.used);
        script.modes = framegrab::testing::usbCameraModes();
        script.calls.clear();
        published.clear();
        auto device = makeDevice();
        Options options;
        options.set(Device::WEBCAM_ID, korvex::i18n::widen("camera-1"));
        options.set(Device::RESOLUTION, korvex::i18n::widen(c.resolution));
        options.set(Device::REQUESTED_FRAME_RATE, korvex::i18n::widen(c.framerate));
        device->init(options, published.list());
        ASSERT_GE(script.calls.size(), 3u);
        EXPECT_EQ(c.used, script.calls[2]);
        EXPECT_EQ(6u, published.size());
    }
}

TEST_F(DeviceTest, ARefusedModeOpensNothingAndPublishesNothing) {
    script.modes = framegrab::testing::usbCameraModes();
    auto device = makeDevice();
    init(*device, "camera-1");
    published.clear();
    script.calls.clear();
    // A second init asks for a size the camera lacks: the first camera goes too.
    Options options;
    options.set(Device::WEBCAM_ID, korvex::i18n::widen("camera-1"));
    options.set(Device::RESOLUTION, korvex::i18n::widen("800x600"));
    device->init(options, published.list());
    const std::vector<std::string> expected = {"destroyed", "made camera-1", "listModes",
                                               "destroyed"};
    EXPECT_EQ(expected, script.calls);
    EXPECT_EQ(0u, published.size());
    const auto messages = channel.messages();
    ASSERT_EQ(1u, messages.size());
    EXPECT_EQ("KORVEX:webcam:unsupportedResolution", messages[0].id);
    device->open(Options());
    device->close();
    EXPECT_EQ(expected, script.calls);
}

TEST_F(DeviceTest, RateOptionsOfOtherTypesAreNumbersOrNothing) {
    script.modes = framegrab::testing::usbCameraModes();
    struct Case {
        std::function<void(Options&)> set;
        const char* used; // empty: refused
    };
    const Case cases[] = {
        {[](Options& o) { o.set(Device::REQUESTED_FRAME_RATE, 7.5); },
         "useMode MJPEG 1920x1080 at 7.5"},
        {[](Options& o) { o.set(Device::REQUESTED_FRAME_RATE, 0.0); }, ""},
        {[](Options& o) {
             o.set(Device::REQUESTED_FRAME_RATE, std::numeric_limits<double>::quiet_NaN());
         },
         ""},
        {[](Options& o) { o.set(Device::REQUESTED_FRAME_RATE, -30.0); }, ""},
        // An empty text asks for nothing.
        {[](Options& o) { o.set(Device::RESOLUTION, korvex::i18n::widen("")); },
         "useMode MJPEG 1920x1080 at 30"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.used);
        script.calls.clear();
        published.clear();
        channel.clearRecords();
        auto device = makeDevice();
        Options options;
        c.set(options);
        device->init(options, published.list());
        if (*c.used == 0) {
            EXPECT_EQ(0u, published.size());
            ASSERT_EQ(1u, channel.messages().size());
            EXPECT_EQ("KORVEX:webcam:unsupportedFramerate", channel.messages()[0].id);
        } else {
            ASSERT_GE(script.calls.size(), 3u);
            EXPECT_EQ(c.used, script.calls[2]);
        }
    }
}

TEST_F(DeviceTest, AControllerWithoutModesLeavesTheOptionsToTheCamera) {
    // A controller that cannot list modes runs the camera in its own mode.
    script.resolution = {1280, 720};
    auto device = makeDevice();
    Options options;
    options.set(Device::WEBCAM_ID, korvex::i18n::widen("camera-1"));
    options.set(Device::RESOLUTION, korvex::i18n::widen("640x480"));
    device->init(options, published.list());
    EXPECT_EQ("1280x720", resolutionText());
    EXPECT_TRUE(channel.messages().empty());
}

TEST_F(DeviceTest, InitPublishesSixPropertiesInOrder) {
    script.resolution = {640, 480};
    auto device = makeDevice();
    init(*device);

    const std::vector<std::string> names = {"AvailableResolutions", "Resolution", "InputFrameType",
                                            "OutputFrameType",      "TimeStamp",  "Framerate"};
    ASSERT_EQ(names, published.names());
    const auto* available = dynamic_cast<webcam::StringVectorProperty*>(published[0]);
    ASSERT_NE(nullptr, available);
    EXPECT_EQ(std::vector<std::string>{"640x480"}, available->getValue());
    EXPECT_EQ("640x480", scalarValue<std::string>(published[1]));
    EXPECT_EQ("BGRA32PackedRowTopDown", scalarValue<std::string>(published[2]));
    EXPECT_EQ("RGB24PlanarColumn", scalarValue<std::string>(published[3]));
    EXPECT_EQ(0.0, scalarValue<double>(published[4]));
    EXPECT_EQ(0.0, scalarValue<double>(published[5]));
    EXPECT_TRUE(channel.messages().empty());
}

TEST_F(DeviceTest, ResolutionIsFormattedWithTruncatedIntegers) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        double width, height;
        const char* text;
    };
    const Case cases[] = {
        {640, 480, "640x480"}, {1280.9, 720.99, "1280x720"}, {0, 0, "0x0"},
        {1, 1, "1x1"},         {nan, 480, "0x480"},          {1e12, 1e12, "2147483647x2147483647"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        published.clear();
        script.resolution = {c.width, c.height};
        auto device = makeDevice();
        init(*device);
        EXPECT_EQ(c.text, resolutionText());
        const auto* available = dynamic_cast<webcam::StringVectorProperty*>(published[0]);
        ASSERT_NE(nullptr, available);
        EXPECT_EQ(std::vector<std::string>{c.text}, available->getValue());
    }
}

TEST_F(DeviceTest, ControllerThatCannotBeMadeStillPublishesSixPropertiesWith0x0) {
    DevicePtr device(new Device(
        channel,
        [](Device&, const conduit::kit::ustring&) -> std::unique_ptr<framegrab::CaptureController> {
            throw std::runtime_error("no camera framework");
        }));
    init(*device);
    EXPECT_EQ(6u, published.size());
    EXPECT_EQ("0x0", resolutionText());
    const auto messages = channel.messages();
    ASSERT_EQ(1u, messages.size());
    EXPECT_EQ("error", messages[0].type);
    EXPECT_EQ("KORVEX:framegrab:runtimeError", messages[0].id);
    EXPECT_EQ("An unexpected error occurred during acquisition.", messages[0].text);
    // Without a controller, open and close do nothing.
    device->open(Options());
    device->close();
    EXPECT_EQ(1u, channel.messages().size());
}

TEST_F(DeviceTest, ErrorAndWarningReachTheChannelIdentifierFirst) {
    auto device = makeDevice();
    device->errorFcn("KORVEX:webcam:deviceUnavailable",
                     "Device unavailable for use with our session.");
    device->warnFcn("KORVEX:framegrab:note", "A warning.");
    const auto messages = channel.messages();
    ASSERT_EQ(2u, messages.size());
    EXPECT_EQ("error", messages[0].type);
    EXPECT_EQ("KORVEX:webcam:deviceUnavailable", messages[0].id);
    EXPECT_EQ("Device unavailable for use with our session.", messages[0].text);
    EXPECT_EQ("warning", messages[1].type);
    EXPECT_EQ("KORVEX:framegrab:note", messages[1].id);
    EXPECT_EQ("A warning.", messages[1].text);
}

TEST_F(DeviceTest, OpenAndCloseReachTheController) {
    auto device = makeDevice();
    device->open(Options());
    device->close();
    EXPECT_TRUE(script.calls.empty()) << "no controller before init";
    init(*device);
    script.calls.clear();
    device->open(Options());
    device->close();
    device->open(Options());
    const std::vector<std::string> expected = {"open", "close", "open"};
    EXPECT_EQ(expected, script.calls);
    // term releases the controller.
    device.reset();
    EXPECT_EQ("destroyed", script.calls.back());
}

TEST_F(DeviceTest, SecondInitReplacesTheControllerAfterReleasingTheFirst) {
    auto device = makeDevice();
    init(*device, "camera-1");
    published.clear();
    script.calls.clear();
    init(*device, "camera-2");
    ASSERT_GE(script.calls.size(), 3u);
    EXPECT_EQ("destroyed", script.calls[0]);
    EXPECT_EQ("made camera-2", script.calls[1]);
}

TEST_F(DeviceTest, FrameIsCopiedIntoAPackedBgraBuffer) {
    script.resolution = {6, 4};
    auto device = makeDevice();
    init(*device);
    Image image(6, 4);
    device->open(Options());
    device->processFrame(image.view, 3.0);

    auto buffer = channel.takeBuffer();
    ASSERT_NE(nullptr, buffer);
    auto* frame = dynamic_cast<webcam::VideoDataBuffer*>(buffer.get());
    ASSERT_NE(nullptr, frame);
    EXPECT_EQ(6u * 4 * 4, frame->size);
    EXPECT_EQ(4u, frame->height);
    EXPECT_EQ(6u, frame->width);
    EXPECT_EQ(4u, frame->bytesPerPixel);
    EXPECT_EQ(image.bytes, std::vector<std::uint8_t>(frame->data, frame->data + frame->size));
}

TEST_F(DeviceTest, FramesWithoutAKnownResolutionAreDropped) {
    Image image(6, 4);
    {
        // Before init nothing is known.
        auto device = makeDevice();
        device->processFrame(image.view, 1.0);
    }
    {
        // A camera without a resolution.
        script.resolution = {0, 0};
        auto device = makeDevice();
        init(*device);
        device->processFrame(image.view, 1.0);
    }
    EXPECT_EQ(0u, channel.writeCount());
    EXPECT_TRUE(values("TimeStamp").empty());
}

TEST_F(DeviceTest, FramesDuringTheProbeInInitAreDropped) {
    // The camera delivers from its first open inside init until its last close
    // there, also after the resolution has been read; none of those frames is
    // copied, and the clock starts with the first frame after the host's open.
    script.resolution = {6, 4};
    Image image(6, 4);
    double next = 100.0;
    script.onOpen = [&](Device& device) { device.processFrame(image.view, next++); };
    script.onClose = [&](Device& device) { device.processFrame(image.view, next++); };
    auto device = makeDevice();
    init(*device);
    EXPECT_EQ(0u, channel.writeCount());
    EXPECT_TRUE(values("TimeStamp").empty());
    ASSERT_EQ(104.0, next) << "two opens and two closes delivered";

    script.onClose = nullptr;
    device->open(Options()); // delivers one frame at 104
    device->processFrame(image.view, 104.5);
    EXPECT_EQ(2u, channel.writeCount());
    EXPECT_EQ((std::vector<double>{0.0, 0.5}), values("TimeStamp"));
}

TEST_F(DeviceTest, FramesSmallerThanTheResolutionAreDropped) {
    script.resolution = {6, 4};
    auto device = makeDevice();
    init(*device);
    Image small(6, 3);
    device->processFrame(small.view, 1.0);
    Image padded(6, 4);
    padded.view.dataSize -= 1;
    device->processFrame(padded.view, 2.0);
    EXPECT_EQ(0u, channel.writeCount());
    // A dropped frame is not counted: the next good one is the first.
    Image good(6, 4);
    device->processFrame(good.view, 3.0);
    EXPECT_EQ(1u, channel.writeCount());
    EXPECT_EQ(std::vector<double>{0.0}, values("TimeStamp"));
    EXPECT_EQ(std::vector<double>{INF}, values("Framerate"));
}

TEST_F(DeviceTest, TimeStampAndFramerateFollowTheFirstFrame) {
    script.resolution = {2, 2};
    auto device = makeDevice();
    init(*device);
    Image image(2, 2);
    // The first frame at 12.5 s, ten more every 0.05 s up to 13.0 s.
    for (int i = 0; i <= 10; ++i)
        device->processFrame(image.view, 12.5 + 0.05 * i);

    const auto stamps = values("TimeStamp");
    const auto rates = values("Framerate");
    ASSERT_EQ(11u, stamps.size());
    ASSERT_EQ(11u, rates.size());
    EXPECT_EQ(0.0, stamps.front());
    EXPECT_EQ(INF, rates.front());
    EXPECT_NEAR(0.5, stamps.back(), 1e-9);
    EXPECT_NEAR(22.0, rates.back(), 1e-9);
    EXPECT_EQ(11u, channel.writeCount());
}

TEST_F(DeviceTest, TimeStampAndFramerateContinueAfterCloseAndOpen) {
    script.resolution = {2, 2};
    auto device = makeDevice();
    init(*device);
    Image image(2, 2);
    device->open(Options());
    device->processFrame(image.view, 10.0);
    device->processFrame(image.view, 10.5);
    device->close();
    device->open(Options());
    device->processFrame(image.view, 14.0);
    EXPECT_EQ((std::vector<double>{0.0, 0.5, 4.0}), values("TimeStamp"));
    EXPECT_EQ((std::vector<double>{INF, 4.0, 0.75}), values("Framerate"));
}

TEST_F(DeviceTest, FirstFrameAtTimeZeroStartsTheClock) {
    // A first time stamp of exactly 0 is a time like any other.
    script.resolution = {2, 2};
    auto device = makeDevice();
    init(*device);
    Image image(2, 2);
    device->processFrame(image.view, 0.0);
    device->processFrame(image.view, 0.1);
    EXPECT_EQ((std::vector<double>{0.0, 0.1}), values("TimeStamp"));
    const auto rates = values("Framerate");
    ASSERT_EQ(2u, rates.size());
    EXPECT_EQ(INF, rates[0]);
    EXPECT_NEAR(20.0, rates[1], 1e-9);
}

TEST_F(DeviceTest, RefusedFrameIsReleasedByTheChannelAndStillCounted) {
    script.resolution = {2, 2};
    auto device = makeDevice();
    init(*device);
    channel.setAcceptWrites(false);
    Image image(2, 2);
    device->processFrame(image.view, 1.0);
    device->processFrame(image.view, 2.0);
    EXPECT_EQ(2u, channel.writeCount());
    EXPECT_EQ(2u, channel.refusedCount());
    EXPECT_EQ((std::vector<double>{0.0, 1.0}), values("TimeStamp"));
    EXPECT_EQ((std::vector<double>{INF, 2.0}), values("Framerate"));
}

TEST_F(DeviceTest, FrameTooLargeForMemoryIsARuntimeError) {
    script.resolution = {1e10, 1e10};
    auto device = makeDevice();
    init(*device);
    static const std::uint8_t byte = 0;
    PixelBuffer huge;
    huge.baseAddress = &byte;
    huge.width = huge.height = std::size_t(10000000000ull);
    huge.bytesPerRow = huge.width * 4;
    huge.dataSize = std::numeric_limits<std::size_t>::max();
    device->processFrame(huge, 1.0);
    EXPECT_EQ(0u, channel.writeCount());
    const auto messages = channel.messages();
    ASSERT_EQ(1u, messages.size());
    EXPECT_EQ("error", messages[0].type);
    EXPECT_EQ("KORVEX:framegrab:runtimeError", messages[0].id);
    EXPECT_EQ("An unexpected error occurred during acquisition.", messages[0].text);
}

TEST_F(DeviceTest, DataSourceAndSinkAndExecute) {
    auto device = makeDevice();
    init(*device);
    channel.clearRecords();
    const std::size_t calls = script.calls.size();
    Options arguments;
    arguments.set("WebcamID", "other");
    device->execute("open", arguments);
    EXPECT_EQ(calls, script.calls.size());
    EXPECT_TRUE(channel.messages().empty());
    EXPECT_EQ(static_cast<conduit::interfaces::device::IDataSource*>(device.get()),
              device->getDataSource());
    EXPECT_EQ(nullptr, device->getDataSink());
    EXPECT_FALSE(device->isSourceDone());
    EXPECT_EQ(0, device->getSourcePolling());
    EXPECT_EQ(&channel, &device->getChannel());
}

} // namespace
