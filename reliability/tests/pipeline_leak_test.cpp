#include "conduit/tvarray/tv_array.h"
#include "host/channel.h"
#include "host/i18n/ustring_conversion.h"
#include "host/plugin_loader.h"
#include "host/property_list.h"
#include "mobilesensor/device/testing/plugin_session.h"
#include "mobilesensor/kinelink_counts.h"
#include "reliability/counts_since.h"
#include "reliability/load_scale.h"
#include "reliability/loopback_sender.h"
#include "tools/phonesim/datagram_encoder.h"
#include "tools/phonesim/scenario.h"
#include "webcam/video_data_buffer.h"

#include <chrono>
#include <gtest/gtest.h>
#include <iostream>
#include <memory>
#include <string>

// A whole pipeline as the host runs it, for the leak checkers (LeakSanitizer in the
// asan build): the simulated phone's datagrams into each loaded sensor device,
// every buffer through the loaded converter and every property too; the test
// camera's frames through the loaded filter. Everything made is released; the
// process must end with no block left unfreed, and kinelink's counts must show
// every sample buffer destroyed.

namespace {

using korvex::host::Options;
using namespace std::chrono_literals;

struct ArrayDestroyer {
    void operator()(tvArray* array) const { tvDestroyArray(array); }
};
using HostValue = std::unique_ptr<tvArray, ArrayDestroyer>;
using PropertyPtr = std::unique_ptr<conduit::interfaces::IPropertyInfo, conduit::kit::Releaser>;

// Shows a property as the host does, and assigns the value back (a list of texts
// has no property form: null comes back for it).
void convertProperty(conduit::interfaces::converter::IConverter& converter,
                     conduit::interfaces::IPropertyInfo* property) {
    const HostValue value(converter.convertProperty(property));
    ASSERT_NE(nullptr, value) << property->getName();
    const PropertyPtr back(converter.convertToProperty(property->getName(), value.get()));
    if (tvGetClassID(value.get()) != tvCELL_CLASS) {
        EXPECT_NE(nullptr, back) << property->getName();
    }
}

struct SensorCase {
    const char* plugin;
    phonesim::App app;
};

void runSensorPipeline(const SensorCase& c, const korvex::host::PluginLibrary& converterLibrary) {
    const korvex::host::PluginLibrary library(korvex::host::pluginPath(c.plugin));
    const korvex::host::ConverterPtr converter = converterLibrary.createConverter();
    korvex::host::Channel channel;
    korvex::host::PropertyListOwner published;
    korvex::host::DevicePtr device = library.createDevice(channel);
    device->init(Options(), published.list());
    for (std::size_t i = 0; i < published.size(); ++i)
        convertProperty(*converter, published[i]);
    device->open(Options());
    const auto port = static_cast<std::uint16_t>(
        korvex::host::scalarValue<double>(channel.properties("PortNumber").back().get())
            .value_or(0.0));
    ASSERT_NE(0, port);

    phonesim::ScenarioConfig config;
    config.app = c.app;
    phonesim::Scenario scenario(config);
    reliability::LoopbackSender sender("127.0.0.1");
    const std::uint64_t readings = reliability::scaled(5000);
    const std::uint64_t deliveredBefore = mobilesensor::getKinelinkCounts().datagramsDelivered;
    std::uint64_t converted = 0;
    const auto convertQueued = [&] {
        for (korvex::host::BufferPtr& buffer : channel.takeAllBuffers()) {
            const HostValue value(converter->convertDataBuffer(buffer.get()));
            ASSERT_NE(nullptr, value);
            ASSERT_EQ(tvSTRUCT_CLASS, tvGetClassID(value.get()));
            ASSERT_EQ(18, tvGetNumberOfFields(value.get()));
            ++converted;
        }
    };
    // Sent in small bursts, each converted before the next: the socket's queue never
    // overflows and every buffer goes through the converter.
    for (std::uint64_t sent = 0; sent < readings;) {
        for (int burst = 0; burst < 50 && sent < readings; ++burst, ++sent) {
            const std::vector<std::uint8_t> datagram = phonesim::encodeDatagram(scenario.next());
            ASSERT_TRUE(sender.send(port, datagram.data(), datagram.size()));
        }
        // The last reading of a burst may make no buffer (a fix passed over): wait
        // for the listener, not for buffers.
        const std::uint64_t target = deliveredBefore + sent;
        ASSERT_TRUE(mobilesensor::testing::waitUntil(
            [&] { return mobilesensor::getKinelinkCounts().datagramsDelivered >= target; }));
        convertQueued();
        if (testing::Test::HasFailure())
            return;
    }
    device->close();
    convertQueued(); // what the last callbacks wrote
    for (const korvex::host::PropertyPtr& property : channel.properties())
        convertProperty(*converter, property.get());
    device.reset();
    EXPECT_TRUE(channel.messages().empty());
    EXPECT_GT(converted, readings / 2);
    std::cout << c.plugin << ": " << readings << " readings, " << converted << " buffers converted"
              << std::endl;
}

TEST(PipelineLeaks, PhoneReadingsThroughBothSensorDevicesAndTheConverter) {
    const mobilesensor::KinelinkCounts before = mobilesensor::getKinelinkCounts();
    {
        const korvex::host::PluginLibrary converterLibrary(korvex::host::pluginPath("kineconvert"));
        // The sensor devices accept one sender per listener; each runs on its own.
        for (const SensorCase& c : {SensorCase{"kinedgram", phonesim::App::Text},
                                    SensorCase{"kinescope", phonesim::App::Binary}}) {
            runSensorPipeline(c, converterLibrary);
            if (HasFailure())
                return;
        }
    }
    const mobilesensor::KinelinkCounts d = reliability::countsSince(before);
    EXPECT_GT(d.sampleBuffersCreated, 0u);
    EXPECT_EQ(d.sampleBuffersCreated, d.sampleBuffersDestroyed);
}

TEST(PipelineLeaks, TestCameraFramesThroughTheFilter) {
    const korvex::host::PluginLibrary grabLibrary(korvex::host::pluginPath("framegrab"));
    const korvex::host::PluginLibrary sieveLibrary(korvex::host::pluginPath("pixsieve"));
    korvex::host::Channel channel;
    korvex::host::PropertyListOwner published;
    korvex::host::DevicePtr device = grabLibrary.createDevice(channel);
    korvex::host::FilterPtr filter = sieveLibrary.createFilter(channel);

    Options deviceOptions;
    deviceOptions.set("WebcamID", korvex::i18n::widen("videotestsrc"));
    device->init(deviceOptions, published.list());
    Options filterOptions;
    for (const char* name : {"InputFrameType", "OutputFrameType"}) {
        const auto type = korvex::host::scalarValue<std::string>(published.find(name));
        ASSERT_TRUE(type.has_value()) << name;
        filterOptions.set(name, korvex::i18n::widen(*type));
    }
    filter->init(filterOptions);
    filter->open(Options());
    device->open(Options());
    const std::size_t frames = reliability::scaled(30);
    std::size_t filtered = 0;
    while (filtered < frames) {
        korvex::host::BufferPtr frame = channel.takeBuffer(10s);
        ASSERT_NE(nullptr, frame);
        const korvex::host::BufferPtr planar(filter->filter(frame.release()));
        const auto* result = dynamic_cast<const webcam::VideoDataBuffer*>(planar.get());
        ASSERT_NE(nullptr, result);
        ASSERT_EQ(640u * 480 * 3, result->size);
        ++filtered;
    }
    device->close();
    filter->close();
    channel.takeAllBuffers();
    device.reset();
    filter.reset();
    EXPECT_TRUE(channel.messages().empty());
}

} // namespace
