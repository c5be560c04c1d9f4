#include "mobilesensor/device/testing/sample_view.h"
#include "mobilesensor/device/testing/sensor_plugin_suite.h"
#include "mobilesensor/sample_buffers.h"

#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>
#include <string>
#include <vector>

// The built plug-in, loaded as the host loads it, on the stand-in channel, with real
// datagrams sent to 127.0.0.1 on the port it posted: the suite of both sensor
// plug-ins, then what is the text app's own.

namespace {

using mobilesensor::MobileSensorDataBuffer;
using mobilesensor::testing::bytesOf;
using mobilesensor::testing::describe;
using mobilesensor::testing::SensorApp;
using mobilesensor::testing::SensorExchange;
using mobilesensor::testing::SensorPlugin;

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

SensorApp kinedgramApp() {
    SensorApp app;
    app.plugin = "kinedgram";
    app.app = MobileSensorDataBuffer::KINEDGRAM_APP;
    app.reading = bytesOf("A,1,2,1.5,2.5,3.5\n");
    app.readingKind = 'A';
    app.rejected = bytesOf("not a reading");
    // The first fix of a device is always taken.
    app.twoBufferReadings = {bytesOf("G,1,2,35.5,51.5,-0.125,1000,10,1.5\n")};
    // An orientation with that azimuth.
    app.marker = [](double value) { return bytesOf("O,0,0," + number(value) + ",0,0\n"); };
    app.markerKind = 'O';
    return app;
}

INSTANTIATE_TEST_SUITE_P(Kinedgram, SensorPlugin, testing::Values(kinedgramApp()));

class KinedgramPlugin : public testing::Test {
protected:
    SensorExchange plugin{kinedgramApp()};
};

TEST_F(KinedgramPlugin, ParsingEdgeCasesEndToEnd) {
    const std::uint16_t port = plugin.initAndOpen();
    const struct {
        std::string datagram;
        std::string kinds;
        std::vector<double> values; // of the first buffer
    } cases[] = {
        {"A,1,2,0.5,-9.81,0.0\n", "A", {0.5, -9.81, 0.0}},
        // Without a terminator the last character is lost.
        {"A,1,2,3.5,4.5,55", "A", {3.5, 4.5, 5.0}},
        {"A,1,2,3,4,55.5\n", "", {}}, // 15 bytes
        {"A,1,2,3,4,5.25\n\n", "A", {3, 4, 5.25}},
        {"M,1,2,30000000,0,-45000000\n", "M", {30.0, 0.0, -45.0}},
        {"O,1,2, 1.5 ,\t-2\r,\"2.5\"\n", "O", {1.5, -2.0, 2.5}},
        {"O,1,2,NaN,nan,-inf\n", "O", {NAN, NAN, -INFINITY}},
        {"O,1,2,INFINITY,+NAN,1e-3\n", "O", {INFINITY, NAN, 1e-3}},
        {"O,1,2,1.5x,2,3\n", "", {}},
        {"O,1,2,1e,2,3.25\n", "", {}},
        {"O,1,2,,2,3.25\n", "", {}},
        {"O,1,2,Nan,2,3.25\n", "", {}},
        {"O,1,2,Inf,2,3.25\n", "", {}},
        {"O,1,2,\"1,5\",2,3\n", "", {}},
        {"O,1,2,3.5,4.5,5.5,6\n", "", {}},
        {"o,1,2,3.5,4.5,5.5\n", "", {}},
        {"7,1,2,3.5,4.5,5.5\n", "", {}},
        {"G,1,2,35.5,51.5,-0.125,1000,10,1.5\n", "HV", {51.5, -0.125, 10, 0, 1.5}},
        {"G,1,2,3.5,4.5,5.5,6.5,7.5\n", "", {}},
        {"N,1,2,3.5,4.5\n", "", {}}, // too short
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.datagram);
        const auto buffers = plugin.exchange(port, c.datagram);
        EXPECT_EQ(c.kinds, plugin.kinds(buffers));
        if (buffers.empty() || c.values.empty())
            continue;
        const std::vector<double> values = describe(*buffers[0]).values;
        ASSERT_EQ(c.values.size(), values.size());
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (std::isnan(c.values[i]))
                EXPECT_TRUE(std::isnan(values[i])) << i;
            else
                EXPECT_EQ(c.values[i], values[i]) << i;
        }
    }
    plugin.session.close();
    EXPECT_TRUE(plugin.session.channel.messages().empty());
}

TEST_F(KinedgramPlugin, DatagramLongerThanTheBufferIsCutTo200Bytes) {
    const std::uint16_t port = plugin.initAndOpen();
    // Whole, the text would have seven fields; cut, the seventh is gone and the
    // 200th byte is taken as the terminator.
    std::string datagram = "A,1,2,1.5,2.5,3.5";
    datagram.resize(200, ' ');
    datagram += ",7\n";
    const auto buffers = plugin.exchange(port, datagram);
    ASSERT_EQ("A", plugin.kinds(buffers));
    EXPECT_EQ((std::vector<double>{1.5, 2.5, 3.5}), describe(*buffers[0]).values);
    plugin.session.close();
}

TEST_F(KinedgramPlugin, FixSelectionAsBuffers) {
    const std::uint16_t port = plugin.initAndOpen();
    // The first fix is taken; a worse one waits 30 s at rest, twice that for the
    // other kind; more than 2 s back is never taken; an N fix without a usable
    // accuracy shows its height only; a G fix without one shows nothing but counts.
    const struct {
        const char* datagram;
        const char* kinds;
    } steps[] = {
        {"G,1,2,35.5,51.5,-0.125,100000,5,0\n", "HV"},
        {"G,1,2,35.5,51.5,-0.125,120000,20,0\n", ""},
        {"N,1,2,35.5,51.5,-0.125,130000,20,0\n", ""},
        {"G,1,2,35.5,51.5,-0.125,130000,20,0\n", "HV"},
        {"G,1,2,35.5,51.5,-0.125,127999,1,0\n", ""},
        {"N,1,2,36.5,51.5,-0.125,140000,-1,0\n", "V"},
        {"G,1,2,35.5,51.5,-0.125,150000,NaN,0\n", ""},
        {"G,1,2,35.5,51.5,-0.125,151000,20,0\n", ""},
    };
    for (const auto& step : steps)
        EXPECT_EQ(step.kinds, plugin.kinds(plugin.exchange(port, step.datagram))) << step.datagram;
    plugin.session.close();
}

TEST_F(KinedgramPlugin, MalformedDatagramDoesNotEndReception) {
    const std::uint16_t port = plugin.initAndOpen();
    EXPECT_EQ("", plugin.kinds(plugin.exchange(port, "A,1,2,1.5\\x,2.5,3.5\n")));
    EXPECT_EQ("", plugin.kinds(plugin.exchange(port, "A,1,2,1.5,2.5,3.5\\\n")));
    EXPECT_EQ("A", plugin.kinds(plugin.exchange(port, "A,1,2,1.5,2.5,3.5\n")));
    plugin.session.close();
    EXPECT_TRUE(plugin.session.channel.messages().empty());
}

} // namespace
