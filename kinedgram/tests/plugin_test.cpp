#include "mobilesensor/device/testing/plugin_session.h"
#include "mobilesensor/device/testing/sample_view.h"
#include "mobilesensor/device/testing/udp_probe.h"
#include "mobilesensor/ethernet_interfaces.h"
#include "mobilesensor/sample_buffers.h"
#include "mobilesensor/string_vector_property.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <vector>

// The built plug-in, loaded as the host loads it, on the stand-in channel, with real
// datagrams sent to 127.0.0.1 on the port it posted.

namespace {

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

const std::string INVALID_PORT_ID = "KORVEX:kinedgram:invalidPort";
const std::string INVALID_PORT_TEXT = "Port number must be less than 65536.";

// The kinds of the buffers, one letter each (A, M, O, H, V); "?" for a buffer that is
// not from this app.
std::string kinds(const std::vector<BufferPtr>& buffers) {
    std::string letters;
    for (const Sample& s : describe(buffers))
        letters += s.app == MobileSensorDataBuffer::KINEDGRAM_APP ? s.kind : '?';
    return letters;
}

class KinedgramPlugin : public testing::Test {
protected:
    // Opens the device initialised without options; the port it posted.
    std::uint16_t initAndOpen() {
        session.init(Options());
        const std::uint16_t port = session.open();
        EXPECT_NE(0, port);
        return port;
    }

    // Sends datagram, then an orientation datagram with a unique azimuth, and
    // returns the buffers that arrived before the marker's.
    std::vector<BufferPtr> exchange(std::uint16_t port, const std::string& datagram) {
        const int marker = ++markers;
        const double azimuth = 1000000.0 + marker;
        sender.send(port, datagram);
        sender.send(port, "O,0,0," + std::to_string(1000000 + marker) + ",0,0\n");
        return session.collectUntil([azimuth](const conduit::interfaces::IDataBuffer& buffer) {
            const Sample s = describe(buffer);
            return s.kind == 'O' && s.values[0] == azimuth;
        });
    }

    PluginSession session{"kinedgram"};
    DatagramSender sender;
    int markers = 0;
};

TEST_F(KinedgramPlugin, InitPublishesPortAddressAndInterfaces) {
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
    EXPECT_TRUE(session.channel.properties().empty());
}

TEST_F(KinedgramPlugin, PortOptionIsCheckedAndTruncated) {
    constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
    enum Expect { REJECTED, SEARCH, FIXED };
    const struct {
        double value;
        Expect expect;
        std::uint16_t port;
    } cases[] = {
        {65536.0, REJECTED, 0}, {-1.0, REJECTED, 0}, {-3.5, REJECTED, 0}, {1e300, REJECTED, 0},
        {-0.9, SEARCH, 0},      {NaN, SEARCH, 0},    {0.0, SEARCH, 0},    {65535.0, FIXED, 65535},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        PluginSession fresh("kinedgram");
        fresh.initWithPort(c.value);
        if (c.expect == REJECTED) {
            // Nothing is published, and without a listener open and close do nothing.
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

TEST_F(KinedgramPlugin, FractionalPortTriesExactlyThatPort) {
    const std::uint16_t port = mobilesensor::testing::findFreePortPair();
    session.initWithPort(port + 0.7);
    EXPECT_EQ(port, session.open());
    sender.send(port, "A,1,2,1.5,2.5,3.5\n");
    ASSERT_TRUE(session.channel.waitForBuffers(1, WAIT));
    session.close();

    // Taken by someone else: the neighbour is not tried, and the listener says so.
    mobilesensor::testing::PortHolder holder;
    ASSERT_TRUE(holder.hold(port));
    PluginSession blocked("kinedgram");
    blocked.initWithPort(port + 0.7);
    EXPECT_EQ(0, blocked.open());
    const auto messages = blocked.channel.messages();
    ASSERT_EQ(1u, messages.size());
    EXPECT_EQ("error", messages[0].type);
    EXPECT_EQ("KORVEX:UDPListener:startUDPServer:unableToOpen", messages[0].id);
    EXPECT_EQ("Cannot start UDP server.", messages[0].text);
    EXPECT_TRUE(canBind("0.0.0.0", static_cast<std::uint16_t>(port + 1)));
    blocked.close();
}

TEST_F(KinedgramPlugin, RejectedInitKeepsTheEarlierListener) {
    const std::uint16_t port = mobilesensor::testing::findFreePortPair();
    session.initWithPort(port);
    const std::size_t published = session.published.size();
    session.initWithPort(65536.0);
    EXPECT_EQ(published, session.published.size());
    ASSERT_EQ(1u, session.channel.messages().size());
    EXPECT_EQ(INVALID_PORT_ID, session.channel.messages()[0].id);
    // The listener of the first init is the one that opens.
    EXPECT_EQ(port, session.open());
    EXPECT_EQ("A", kinds(exchange(port, "A,1,2,1.5,2.5,3.5\n")));
    session.close();
}

TEST_F(KinedgramPlugin, DeliversBuffersAndReportsTheAddressOncePerOpen) {
    std::uint16_t port = initAndOpen();
    // The first datagram reports the address even when it is dropped.
    EXPECT_EQ("", kinds(exchange(port, "not a reading")));
    const auto acceleration = exchange(port, "A,1,2,0.5,-9.81,0.0\n");
    ASSERT_EQ("A", kinds(acceleration));
    EXPECT_EQ((std::vector<double>{0.5, -9.81, 0.0}), describe(*acceleration[0]).values);
    EXPECT_EQ((std::vector<std::string>{"127.0.0.1"}), session.addressPosts());

    session.close();
    EXPECT_EQ(0.0, session.portPosts().back());
    port = session.open();
    ASSERT_NE(0, port);
    EXPECT_EQ("M", kinds(exchange(port, "M,1,2,30000000,0,-45000000\n")));
    EXPECT_EQ((std::vector<std::string>{"127.0.0.1", "127.0.0.1"}), session.addressPosts());
    session.close();
    EXPECT_TRUE(session.channel.messages().empty());
}

TEST_F(KinedgramPlugin, ParsingEdgeCasesEndToEnd) {
    const std::uint16_t port = initAndOpen();
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
        const auto buffers = exchange(port, c.datagram);
        EXPECT_EQ(c.kinds, kinds(buffers));
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
    session.close();
    EXPECT_TRUE(session.channel.messages().empty());
}

TEST_F(KinedgramPlugin, DatagramLongerThanTheBufferIsCutTo200Bytes) {
    const std::uint16_t port = initAndOpen();
    // Whole, the text would have seven fields; cut, the seventh is gone and the
    // 200th byte is taken as the terminator.
    std::string datagram = "A,1,2,1.5,2.5,3.5";
    datagram.resize(200, ' ');
    datagram += ",7\n";
    const auto buffers = exchange(port, datagram);
    ASSERT_EQ("A", kinds(buffers));
    EXPECT_EQ((std::vector<double>{1.5, 2.5, 3.5}), describe(*buffers[0]).values);
    session.close();
}

TEST_F(KinedgramPlugin, FixSelectionAsBuffers) {
    const std::uint16_t port = initAndOpen();
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
        EXPECT_EQ(step.kinds, kinds(exchange(port, step.datagram))) << step.datagram;
    session.close();
}

TEST_F(KinedgramPlugin, RefusedWriteStopsTheSecondBuffer) {
    const std::uint16_t port = initAndOpen();
    session.channel.setAcceptWrites(false);
    sender.send(port, "G,1,2,35.5,51.5,-0.125,1000,10,1.5\n");
    ASSERT_TRUE(waitUntil([&] { return session.channel.writeCount() >= 1; }));
    session.channel.setAcceptWrites(true);
    // Nothing more came from the fix: the marker's buffer is the second write.
    EXPECT_EQ("", kinds(exchange(port, "")));
    EXPECT_EQ(2u, session.channel.writeCount());
    session.close();
}

TEST_F(KinedgramPlugin, MalformedDatagramDoesNotEndReception) {
    const std::uint16_t port = initAndOpen();
    EXPECT_EQ("", kinds(exchange(port, "A,1,2,1.5\\x,2.5,3.5\n")));
    EXPECT_EQ("", kinds(exchange(port, "A,1,2,1.5,2.5,3.5\\\n")));
    EXPECT_EQ("A", kinds(exchange(port, "A,1,2,1.5,2.5,3.5\n")));
    session.close();
    EXPECT_TRUE(session.channel.messages().empty());
}

TEST_F(KinedgramPlugin, SecondInitWhileOpenStopsTheOldListener) {
    const std::uint16_t first = initAndOpen();
    EXPECT_EQ("A", kinds(exchange(first, "A,1,2,1.5,2.5,3.5\n")));

    const std::uint16_t second = mobilesensor::testing::findFreePortPair();
    session.initWithPort(second);
    // The old listener is gone with its socket: its port is free again.
    EXPECT_TRUE(canBind("0.0.0.0", first));
    sender.send(first, "A,1,2,1.5,2.5,3.5\n");
    const auto writes = session.channel.writeCount();

    EXPECT_EQ(second, session.open());
    EXPECT_EQ("O", kinds(exchange(second, "O,1,2,1.5,2.5,3.5\n")));
    EXPECT_EQ(writes + 2, session.channel.writeCount());
    session.close();
    EXPECT_TRUE(session.channel.messages().empty());
}

TEST_F(KinedgramPlugin, NothingArrivesAfterClose) {
    const std::uint16_t port = initAndOpen();
    EXPECT_EQ("A", kinds(exchange(port, "A,1,2,1.5,2.5,3.5\n")));
    session.close();
    const auto writes = session.channel.writeCount();
    sender.send(port, "A,1,2,1.5,2.5,3.5\n");
    // The socket is closed with the cycle: the port is free, and nothing was written.
    EXPECT_TRUE(canBind("0.0.0.0", port));
    EXPECT_EQ(writes, session.channel.writeCount());
}

} // namespace
