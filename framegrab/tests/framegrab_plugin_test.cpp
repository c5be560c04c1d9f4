#include "conduit/kit/kit.h"
#include "host/channel.h"
#include "host/i18n/ustring_conversion.h"
#include "host/plugin_loader.h"
#include "host/property_list.h"
#include "webcam/string_vector_property.h"
#include "webcam/video_data_buffer.h"

#include <chrono>
#include <cmath>
#include <gtest/gtest.h>
#include <string>
#include <vector>

// The built plug-in, loaded as the host loads it, on the stand-in channel with the
// generated test camera (640x480 at 30 frames per second).

namespace {

using namespace std::chrono_literals;
using korvex::host::Options;
using korvex::host::PropertyListOwner;
using korvex::host::scalarValue;

constexpr auto WAIT = 10s;

class FramegrabPlugin : public testing::Test {
protected:
    void init(const char* webcamID) {
        Options options;
        options.set("WebcamID", korvex::i18n::widen(webcamID));
        device->init(options, published.list());
    }

    std::vector<double> values(const char* name) const {
        std::vector<double> all;
        for (const auto& property : channel.properties(name))
            all.push_back(scalarValue<double>(property.get()).value_or(-1.0));
        return all;
    }

    // The library outlives the channel and the lists, which hold its objects.
    korvex::host::PluginLibrary library{korvex::host::pluginPath("framegrab")};
    korvex::host::Channel channel;
    PropertyListOwner published;
    korvex::host::DevicePtr device = library.createDevice(channel);
};

TEST_F(FramegrabPlugin, InitPublishesSixPropertiesWithTheTestCameraResolution) {
    init("videotestsrc");
    const std::vector<std::string> names = {"AvailableResolutions", "Resolution", "InputFrameType",
                                            "OutputFrameType",      "TimeStamp",  "Framerate"};
    ASSERT_EQ(names, published.names());
    const auto* available = dynamic_cast<webcam::StringVectorProperty*>(published[0]);
    ASSERT_NE(nullptr, available);
    EXPECT_EQ(std::vector<std::string>{"640x480"}, available->getValue());
    EXPECT_EQ("640x480", scalarValue<std::string>(published[1]).value_or("?"));
    EXPECT_EQ("BGRA32PackedRowTopDown", scalarValue<std::string>(published[2]).value_or("?"));
    EXPECT_EQ("RGB24PlanarColumn", scalarValue<std::string>(published[3]).value_or("?"));
    EXPECT_EQ(0.0, scalarValue<double>(published[4]).value_or(-1.0));
    EXPECT_EQ(0.0, scalarValue<double>(published[5]).value_or(-1.0));
    EXPECT_TRUE(channel.messages().empty());
    // The probe in init pushes nothing.
    EXPECT_EQ(0u, channel.writeCount());
}

TEST_F(FramegrabPlugin, OpenDeliversWhole640x480BgraFrames) {
    init("videotestsrc");
    device->open(Options());
    ASSERT_TRUE(channel.waitForBuffers(5, WAIT));
    device->close();
    const auto buffers = channel.takeAllBuffers();
    ASSERT_GE(buffers.size(), 5u);
    for (const auto& buffer : buffers) {
        const auto* frame = dynamic_cast<const webcam::VideoDataBuffer*>(buffer.get());
        ASSERT_NE(nullptr, frame);
        EXPECT_EQ(1u, frame->getCount());
        EXPECT_EQ(640u * 480 * 4, frame->size);
        EXPECT_EQ(480u, frame->height);
        EXPECT_EQ(640u, frame->width);
        EXPECT_EQ(4u, frame->bytesPerPixel);
        // Opaque BGRA: every fourth byte is alpha 255, in the first and the last row.
        EXPECT_EQ(255, frame->data[3]);
        EXPECT_EQ(255, frame->data[frame->size - 1]);
    }
    EXPECT_TRUE(channel.messages().empty());
}

TEST_F(FramegrabPlugin, TimeStampStartsAtZeroAndFramerateIsFramesOverTime) {
    init("videotestsrc");
    device->open(Options());
    ASSERT_TRUE(channel.waitForProperties("Framerate", 31, WAIT));
    device->close();
    const auto stamps = values("TimeStamp");
    const auto rates = values("Framerate");
    ASSERT_GE(stamps.size(), 31u);
    ASSERT_EQ(stamps.size(), rates.size());
    EXPECT_EQ(0.0, stamps.front());
    EXPECT_TRUE(std::isinf(rates.front()) && rates.front() > 0);
    // Frames counted over the time since the first. A busy machine makes the camera
    // drop late frames, so the rate is checked against the stamps, not against 30.
    for (std::size_t i = 1; i < stamps.size(); ++i) {
        ASSERT_GT(stamps[i], stamps[i - 1]) << "update " << i;
        EXPECT_NEAR(static_cast<double>(i + 1) / stamps[i], rates[i], 1e-9) << "update " << i;
    }
    // Frames of a 30 per second camera are at least 1/30 s apart: n frames give at
    // most n / ((n - 1) / 30), 31 after 31 frames.
    EXPECT_GE(stamps.back(), static_cast<double>(stamps.size() - 1) / 30.0 - 0.005);
    EXPECT_GT(rates.back(), 0.0);
}

TEST_F(FramegrabPlugin, TimeStampContinuesAfterCloseAndOpen) {
    init("videotestsrc");
    device->open(Options());
    ASSERT_TRUE(channel.waitForProperties("TimeStamp", 3, WAIT));
    device->close();
    const double lastOfFirstRun = values("TimeStamp").back();
    const std::size_t firstRun = values("TimeStamp").size();
    device->open(Options());
    ASSERT_TRUE(channel.waitForProperties("TimeStamp", firstRun + 3, WAIT));
    device->close();
    const auto stamps = values("TimeStamp");
    EXPECT_GT(stamps[firstRun], lastOfFirstRun);
    EXPECT_EQ(0.0, stamps.front()) << "the clock was not reset";
    const auto rates = values("Framerate");
    EXPECT_TRUE(std::isfinite(rates[firstRun]));
}

TEST_F(FramegrabPlugin, TheTestCameraAcceptsItsOwnModeAsOptions) {
    Options options;
    options.set("WebcamID", korvex::i18n::widen("videotestsrc"));
    options.set("Resolution", korvex::i18n::widen("640x480"));
    options.set("RequestedFramerate", korvex::i18n::widen("30"));
    device->init(options, published.list());
    ASSERT_EQ(6u, published.size());
    EXPECT_EQ("640x480", scalarValue<std::string>(published[1]).value_or("?"));
    EXPECT_TRUE(channel.messages().empty());
    device->open(Options());
    ASSERT_TRUE(channel.waitForBuffers(2, WAIT));
    device->close();
    const auto buffers = channel.takeAllBuffers();
    const auto* frame = dynamic_cast<const webcam::VideoDataBuffer*>(buffers.front().get());
    ASSERT_NE(nullptr, frame);
    EXPECT_EQ(640u, frame->width);
    EXPECT_EQ(480u, frame->height);
}

TEST_F(FramegrabPlugin, ModesTheTestCameraDoesNotOfferAreRefusedNamingItsOwn) {
    struct Case {
        const char* resolution;
        double framerate; // 0: not asked
        const char* identifier;
        const char* text;
    };
    const Case cases[] = {
        {"1280x720", 0, "KORVEX:webcam:unsupportedResolution",
         "The webcam does not offer 1280x720; it offers 640x480."},
        {"", 60, "KORVEX:webcam:unsupportedFramerate",
         "The webcam does not offer 60 frames a second; it offers 30."},
        {"640x480", 15, "KORVEX:webcam:unsupportedFramerate",
         "The webcam does not offer 15 frames a second at 640x480; it offers 30 there."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        channel.clearRecords();
        published.clear();
        Options options;
        options.set("WebcamID", korvex::i18n::widen("videotestsrc"));
        if (*c.resolution != 0)
            options.set("Resolution", korvex::i18n::widen(c.resolution));
        if (c.framerate != 0)
            options.set("RequestedFramerate", c.framerate);
        device->init(options, published.list());
        EXPECT_EQ(0u, published.size());
        const auto messages = channel.messages();
        ASSERT_EQ(1u, messages.size());
        EXPECT_EQ("error", messages[0].type);
        EXPECT_EQ(c.identifier, messages[0].id);
        EXPECT_EQ(c.text, messages[0].text);
        // Nothing was left prepared: open starts no camera.
        device->open(Options());
        device->close();
        EXPECT_EQ(0u, channel.writeCount());
        EXPECT_EQ(1u, channel.messages().size());
    }
}

TEST_F(FramegrabPlugin, UnknownIdentifierIsInaccessibleAndStillPublishes0x0) {
    init("no-such-camera");
    ASSERT_EQ(6u, published.size());
    const auto* available = dynamic_cast<webcam::StringVectorProperty*>(published[0]);
    ASSERT_NE(nullptr, available);
    EXPECT_EQ(std::vector<std::string>{"0x0"}, available->getValue());
    EXPECT_EQ("0x0", scalarValue<std::string>(published[1]).value_or("?"));

    // open, close, open, resolution: two failed opens and no resolution.
    const auto messages = channel.messages();
    ASSERT_EQ(3u, messages.size());
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ("error", messages[i].type);
        EXPECT_EQ("KORVEX:webcam:deviceInaccessible", messages[i].id);
        EXPECT_EQ("Unable to gain access to the webcam.", messages[i].text);
    }
    EXPECT_EQ("KORVEX:webcam:invalidResolution", messages[2].id);
    EXPECT_EQ("Unable to determine resolution of the webcam.", messages[2].text);

    channel.clearRecords();
    device->open(Options());
    device->close();
    ASSERT_EQ(1u, channel.messages().size());
    EXPECT_EQ("KORVEX:webcam:deviceInaccessible", channel.messages()[0].id);
    EXPECT_EQ(0u, channel.writeCount());
}

TEST_F(FramegrabPlugin, MissingIdentifierIsInaccessible) {
    Options options;
    device->init(options, published.list());
    EXPECT_EQ(6u, published.size());
    const auto messages = channel.messages();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ("KORVEX:webcam:deviceInaccessible", messages[0].id);
}

TEST_F(FramegrabPlugin, TermWhileFramesFlow) {
    init("videotestsrc");
    device->open(Options());
    ASSERT_TRUE(channel.waitForBuffers(3, WAIT));
    // No close: term stops the camera, and frames already pushed stay whole.
    device.reset();
    for (const auto& buffer : channel.takeAllBuffers()) {
        const auto* frame = dynamic_cast<const webcam::VideoDataBuffer*>(buffer.get());
        ASSERT_NE(nullptr, frame);
        EXPECT_EQ(640u * 480 * 4, frame->size);
    }
    EXPECT_TRUE(channel.messages().empty());
}

} // namespace
