#include "mobilesensor/device/testing/plugin_session.h"
#include "mobilesensor/device/testing/sample_view.h"
#include "mobilesensor/device/testing/udp_probe.h"
#include "mobilesensor/ethernet_interfaces.h"
#include "mobilesensor/sample_buffers.h"
#include "mobilesensor/string_vector_property.h"
#include "record.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <vector>

// The built plug-in, loaded as the host loads it, on the stand-in channel, with real
// records sent to 127.0.0.1 on the port it posted.

namespace {

using kinescope_test::record;
using korvex::host::BufferPtr;
using korvex::host::Options;
using mobilesensor::MobileSensorDataBuffer;
using mobilesensor::testing::canBind;
using mobilesensor::testing::DatagramSender;
using mobilesensor::testing::describe;
using mobilesensor::testing::PluginSession;
using mobilesensor::testing::Sample;
using mobilesensor::testing::WAIT;
using mobilesensor::testing::waitUntil;

const std::string INVALID_PORT_ID = "KORVEX:kinescope:invalidPort";
const std::string INVALID_PORT_TEXT = "Port number must be less than 65536.";

// The kinds of the buffers, one letter each (A, G, T, M, H, V); "?" for a buffer
// that is not from this app.
std::string kinds(const std::vector<BufferPtr>& buffers) {
    std::string letters;
    for (const Sample& s : describe(buffers))
        letters += s.app == MobileSensorDataBuffer::KINESCOPE_APP ? s.kind : '?';
    return letters;
}

class KinescopePlugin : public testing::Test {
protected:
    std::uint16_t initAndOpen() {
        session.init(Options());
        const std::uint16_t port = session.open();
        EXPECT_NE(0, port);
        return port;
    }

    // Sends bytes, then a rotation-rate record with a unique x, and returns the
    // buffers that arrived before the marker's.
    std::vector<BufferPtr> exchange(std::uint16_t port, const std::vector<std::uint8_t>& bytes) {
        const double marker = 1000000.0 + ++markers;
        sender.send(port, bytes);
        sender.send(port, record(0x30, {marker, 0, 0}));
        return session.collectUntil([marker](const conduit::interfaces::IDataBuffer& buffer) {
            const auto* g = dynamic_cast<const mobilesensor::GyroscopeDataBuffer*>(&buffer);
            double x = 0, y = 0, z = 0;
            if (g != nullptr)
                g->getData(x, y, z);
            return g != nullptr && x == marker;
        });
    }

    PluginSession session{"kinescope"};
    DatagramSender sender;
    int markers = 0;
};

TEST_F(KinescopePlugin, InitPublishesPortAddressAndInterfaces) {
    session.init(Options());
    std::vector<std::string> names = {"PortNumber", "IPAddress"};
    const std::vector<std::string> interfaces = mobilesensor::getEthernetInterfaces();
    if (!interfaces.empty())
        names.push_back("AvailableInterfaces");
    ASSERT_EQ(names, session.published.names());
    EXPECT_EQ(0.0, korvex::host::scalarValue<double>(session.published[0]).value_or(-1));
    EXPECT_EQ("", korvex::host::scalarValue<std::string>(session.published[1]).value_or("?"));
    if (!interfaces.empty()) {
        const auto* list =
            dynamic_cast<const mobilesensor::StringVectorProperty*>(session.published[2]);
        ASSERT_NE(nullptr, list);
        EXPECT_EQ(interfaces, list->getValue());
    }
    EXPECT_TRUE(session.channel.messages().empty());
}

TEST_F(KinescopePlugin, EachTypeCodeEndToEnd) {
    const std::uint16_t port = initAndOpen();
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
        EXPECT_EQ(c.kinds, kinds(exchange(port, c.bytes))) << c.name;

    const auto acceleration = exchange(port, record(0x20, {1.0, 0.0, -0.5}));
    ASSERT_EQ("A", kinds(acceleration));
    double x = 0, y = 0, z = 0;
    dynamic_cast<const mobilesensor::AccelerometerDataBuffer&>(*acceleration[0]).getData(x, y, z);
    EXPECT_EQ(9.81, x);
    EXPECT_EQ(0.0, y);
    EXPECT_EQ(-4.905, z);
    session.close();
    EXPECT_TRUE(session.channel.messages().empty());
}

TEST_F(KinescopePlugin, LongDatagramIsCutTo72BytesAndReadAsALocation) {
    const std::uint16_t port = initAndOpen();
    auto bytes = record(0x40, {51.5, -0.125, 35.5, 10.0, 3.0, 90.0, 1.5}, 100);
    std::fill(bytes.begin() + 72, bytes.end(), std::uint8_t{0x7F});
    const auto buffers = exchange(port, bytes);
    ASSERT_EQ("HV", kinds(buffers));
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
    session.close();
}

TEST_F(KinescopePlugin, AddressIsReportedOncePerOpenEvenForARejectedDatagram) {
    std::uint16_t port = initAndOpen();
    EXPECT_EQ("", kinds(exchange(port, {1, 2, 3})));
    EXPECT_EQ((std::vector<std::string>{"127.0.0.1"}), session.addressPosts());
    EXPECT_EQ("A", kinds(exchange(port, record(0x20, {1, 2, 3}))));
    EXPECT_EQ(1u, session.addressPosts().size());

    session.close();
    EXPECT_EQ(0.0, session.portPosts().back());
    port = session.open();
    ASSERT_NE(0, port);
    EXPECT_EQ("", kinds(exchange(port, record(0x50, {1}))));
    EXPECT_EQ((std::vector<std::string>{"127.0.0.1", "127.0.0.1"}), session.addressPosts());
    session.close();
}

TEST_F(KinescopePlugin, RefusedHeadingStopsTheField) {
    const std::uint16_t port = initAndOpen();
    session.channel.setAcceptWrites(false);
    sender.send(port, record(0x10, {271.5, 270.25, 5.0, 30.0, -12.0, 48.0}));
    ASSERT_TRUE(waitUntil([&] { return session.channel.writeCount() >= 1; }));
    session.channel.setAcceptWrites(true);
    // Nothing more came from the record: the marker's buffer is the second write.
    EXPECT_EQ("", kinds(exchange(port, {})));
    EXPECT_EQ(2u, session.channel.writeCount());
    session.close();
}

TEST_F(KinescopePlugin, RefusedHorizontalLocationStopsTheVertical) {
    const std::uint16_t port = initAndOpen();
    session.channel.setAcceptWrites(false);
    sender.send(port, record(0x40, {51.5, -0.125, 35.5, 10.0, 3.0, 90.0, 1.5}));
    ASSERT_TRUE(waitUntil([&] { return session.channel.writeCount() >= 1; }));
    session.channel.setAcceptWrites(true);
    EXPECT_EQ("", kinds(exchange(port, {})));
    EXPECT_EQ(2u, session.channel.writeCount());
    session.close();
}

TEST_F(KinescopePlugin, PortOptionIsCheckedAndTruncated) {
    constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
    enum Expect { REJECTED, SEARCH, FIXED };
    const struct {
        double value;
        Expect expect;
        std::uint16_t port;
    } cases[] = {
        {65536.0, REJECTED, 0}, {-1.0, REJECTED, 0}, {-0.5, SEARCH, 0},
        {NaN, SEARCH, 0},       {0.0, SEARCH, 0},    {65535.0, FIXED, 65535},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        PluginSession fresh("kinescope");
        fresh.initWithPort(c.value);
        if (c.expect == REJECTED) {
            EXPECT_EQ(0u, fresh.published.size());
            const auto messages = fresh.channel.messages();
            ASSERT_EQ(1u, messages.size());
            EXPECT_EQ("error", messages[0].type);
            EXPECT_EQ(INVALID_PORT_ID, messages[0].id);
            EXPECT_EQ(INVALID_PORT_TEXT, messages[0].text);
            fresh.device->open(Options());
            fresh.device->close();
            EXPECT_TRUE(fresh.channel.properties().empty());
            continue;
        }
        EXPECT_GE(fresh.published.size(), 2u);
        EXPECT_TRUE(fresh.channel.messages().empty());
        const std::uint16_t expected =
            c.expect == SEARCH ? mobilesensor::testing::expectedSearchPort()
                               : (canBind("0.0.0.0", c.port) ? c.port : std::uint16_t{0});
        EXPECT_EQ(expected, fresh.open());
        fresh.close();
        EXPECT_EQ(0.0, fresh.portPosts().back());
    }
}

TEST_F(KinescopePlugin, FractionalPortTriesExactlyThatPort) {
    // 50001.7 asks for 50001 and nothing else; here a port probed free stands in.
    const std::uint16_t port = mobilesensor::testing::findFreePortPair();
    session.initWithPort(port + 0.7);
    EXPECT_EQ(port, session.open());
    EXPECT_EQ("A", kinds(exchange(port, record(0x20, {1, 2, 3}))));
    session.close();

    mobilesensor::testing::PortHolder holder;
    ASSERT_TRUE(holder.hold(port));
    PluginSession blocked("kinescope");
    blocked.initWithPort(port + 0.7);
    EXPECT_EQ(0, blocked.open());
    const auto messages = blocked.channel.messages();
    ASSERT_EQ(1u, messages.size());
    EXPECT_EQ("KORVEX:UDPListener:startUDPServer:unableToOpen", messages[0].id);
    EXPECT_EQ("Cannot start UDP server.", messages[0].text);
    // The neighbour was never bound.
    EXPECT_TRUE(canBind("0.0.0.0", static_cast<std::uint16_t>(port + 1)));
    blocked.close();
}

TEST_F(KinescopePlugin, RejectedInitKeepsTheEarlierListener) {
    const std::uint16_t port = mobilesensor::testing::findFreePortPair();
    session.initWithPort(port);
    const std::size_t published = session.published.size();
    session.initWithPort(-1.0);
    EXPECT_EQ(published, session.published.size());
    EXPECT_EQ(port, session.open());
    EXPECT_EQ("G", kinds(exchange(port, record(0x30, {1, 2, 3}))));
    session.close();
}

TEST_F(KinescopePlugin, SecondInitWhileOpenStopsTheOldListener) {
    const std::uint16_t first = initAndOpen();
    EXPECT_EQ("A", kinds(exchange(first, record(0x20, {1, 2, 3}))));
    const std::uint16_t second = mobilesensor::testing::findFreePortPair();
    session.initWithPort(second);
    EXPECT_TRUE(canBind("0.0.0.0", first));
    EXPECT_EQ(second, session.open());
    EXPECT_EQ("A", kinds(exchange(second, record(0x20, {1, 2, 3}))));
    session.close();
    EXPECT_TRUE(session.channel.messages().empty());
}

} // namespace
