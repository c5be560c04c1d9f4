#include "mobilesensor/device/testing/sensor_plugin_suite.h"
#include "mobilesensor/sample_buffers.h"
#include "record.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

// The built plug-in, loaded as the host loads it, on the stand-in channel, with real
// records sent to 127.0.0.1 on the port it posted: the suite of both sensor
// plug-ins, then what is the binary app's own.

namespace {

using kinescope_test::record;
using mobilesensor::MobileSensorDataBuffer;
using mobilesensor::testing::SensorApp;
using mobilesensor::testing::SensorExchange;
using mobilesensor::testing::SensorPlugin;

SensorApp kinescopeApp() {
    SensorApp app;
    app.plugin = "kinescope";
    app.app = MobileSensorDataBuffer::KINESCOPE_APP;
    app.reading = record(0x20, {1, 2, 3});
    app.readingKind = 'A';
    app.rejected = record(0x50, {1});
    app.twoBufferReadings = {record(0x10, {271.5, 270.25, 5.0, 30.0, -12.0, 48.0}),
                             record(0x40, {51.5, -0.125, 35.5, 10.0, 3.0, 90.0, 1.5})};
    // A rotation rate with that x.
    app.marker = [](double value) { return record(0x30, {value, 0, 0}); };
    app.markerKind = 'G';
    return app;
}

INSTANTIATE_TEST_SUITE_P(Kinescope, SensorPlugin, testing::Values(kinescopeApp()));

class KinescopePlugin : public testing::Test {
protected:
    SensorExchange plugin{kinescopeApp()};
};

TEST_F(KinescopePlugin, EachTypeCodeEndToEnd) {
    const std::uint16_t port = plugin.initAndOpen();
    const struct {
        const char* name;
        std::vector<std::uint8_t> bytes;
        const char* kinds;
    } cases[] = {
        {"heading", record(0x10, {271.5, 270.25, 5.0, 30.0, -12.0, 48.0}), "TM"},
        {"invalid heading", record(0x10, {271.5, 270.25, -1.0, 30.0, -12.0, 48.0}), "M"},
        {"acceleration", record(0x20, {1.0, 0.0, -0.5}), "A"},
        {"rotation rate", record(0x30, {0.25, 0.5, 0.75}), "G"},
        {"location", record(0x40, {51.5, -0.125, 35.5, 10.0, 3.0, 90.0, 1.5}), "HV"},
        {"invalid location", record(0x40, {51.5, -0.125, 35.5, 10.0, -1.0, 90.0, 1.5}), ""},
        {"wrong length", record(0x20, {1, 2, 3}, 41), ""},
        {"heading length for acceleration", record(0x20, {1, 2, 3, 4, 5, 6}), ""},
        {"unknown type", record(0x50, {1, 2, 3}), ""},
        {"shorter than 8 bytes", record(0x20, {}, 7), ""},
        {"empty", {}, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.kinds, plugin.kinds(plugin.exchange(port, c.bytes))) << c.name;

    const auto acceleration = plugin.exchange(port, record(0x20, {1.0, 0.0, -0.5}));
    ASSERT_EQ("A", plugin.kinds(acceleration));
    double x = 0, y = 0, z = 0;
    dynamic_cast<const mobilesensor::AccelerometerDataBuffer&>(*acceleration[0]).getData(x, y, z);
    EXPECT_EQ(9.81, x);
    EXPECT_EQ(0.0, y);
    EXPECT_EQ(-4.905, z);
    plugin.session.close();
    EXPECT_TRUE(plugin.session.channel.messages().empty());
}

TEST_F(KinescopePlugin, LongDatagramIsCutTo72BytesAndReadAsALocation) {
    const std::uint16_t port = plugin.initAndOpen();
    auto bytes = record(0x40, {51.5, -0.125, 35.5, 10.0, 3.0, 90.0, 1.5}, 100);
    std::fill(bytes.begin() + 72, bytes.end(), std::uint8_t{0x7F});
    const auto buffers = plugin.exchange(port, bytes);
    ASSERT_EQ("HV", plugin.kinds(buffers));
    mobilesensor::HorizontalLocationDataBuffer::Location horizontal{};
    dynamic_cast<const mobilesensor::HorizontalLocationDataBuffer&>(*buffers[0])
        .getData(horizontal);
    EXPECT_EQ(51.5, horizontal.latitude);
    EXPECT_EQ(-0.125, horizontal.longitude);
    EXPECT_EQ(10.0, horizontal.horizontalAccuracy);
    EXPECT_EQ(90.0, horizontal.course);
    EXPECT_EQ(1.5, horizontal.speed);
    mobilesensor::VerticalLocationDataBuffer::Location vertical{};
    dynamic_cast<const mobilesensor::VerticalLocationDataBuffer&>(*buffers[1]).getData(vertical);
    EXPECT_EQ(35.5, vertical.altitude);
    EXPECT_EQ(3.0, vertical.verticalAccuracy);
    plugin.session.close();
}

} // namespace
