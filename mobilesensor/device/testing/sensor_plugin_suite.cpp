#include "sensor_plugin_suite.h"

#include "mobilesensor/ethernet_interfaces.h"
#include "mobilesensor/string_vector_property.h"

#include <limits>
#include <vector>

namespace mobilesensor::testing {
namespace {

using korvex::host::Options;
using korvex::host::scalarValue;

const std::string INVALID_PORT_TEXT = "Port number must be less than 65536.";
const std::string UNABLE_TO_OPEN_ID = "KORVEX:UDPListener:startUDPServer:unableToOpen";
const std::string UNABLE_TO_OPEN_TEXT = "Cannot start UDP server.";
const std::vector<std::string> LOOPBACK_ONCE = {"127.0.0.1"};
const std::vector<std::string> LOOPBACK_TWICE = {"127.0.0.1", "127.0.0.1"};

std::string invalidPortId(const SensorApp& app) { return "KORVEX:" + app.plugin + ":invalidPort"; }

TEST_P(SensorPlugin, InitPublishesPortAddressAndInterfaces) {
    session.init(Options());
    std::vector<std::string> names = {"PortNumber", "IPAddress"};
    const std::vector<std::string> interfaces = getEthernetInterfaces();
    if (!interfaces.empty())
        names.push_back("AvailableInterfaces");
    ASSERT_EQ(names, session.published.names());
    EXPECT_EQ(0.0, scalarValue<double>(session.published[0]).value_or(-1));
    EXPECT_EQ("", scalarValue<std::string>(session.published[1]).value_or("?"));
    if (!interfaces.empty()) {
        const auto* list = dynamic_cast<const StringVectorProperty*>(session.published[2]);
        ASSERT_NE(nullptr, list);
        EXPECT_EQ(interfaces, list->getValue());
    }
    EXPECT_TRUE(session.channel.messages().empty());
    // init publishes; it posts nothing.
    EXPECT_TRUE(session.channel.properties().empty());
}

TEST_P(SensorPlugin, PortOptionIsCheckedAndTruncated) {
    constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
    enum Expect { REJECTED, SEARCH, FIXED };
    const struct {
        double value;
        Expect expect;
        std::uint16_t port;
    } cases[] = {
        {65536.0, REJECTED, 0}, {-1.0, REJECTED, 0}, {-3.5, REJECTED, 0},
        {1e300, REJECTED, 0},   {-0.9, SEARCH, 0},   {-0.5, SEARCH, 0},
        {NaN, SEARCH, 0},       {0.0, SEARCH, 0},    {65535.0, FIXED, 65535},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        PluginSession fresh(GetParam().plugin);
        fresh.initWithPort(c.value);
        if (c.expect == REJECTED) {
            // Nothing is published, and without a listener open and close do nothing.
            EXPECT_EQ(0u, fresh.published.size());
            const auto messages = fresh.channel.messages();
            ASSERT_EQ(1u, messages.size());
            EXPECT_EQ("error", messages[0].type);
            EXPECT_EQ(invalidPortId(GetParam()), messages[0].id);
            EXPECT_EQ(INVALID_PORT_TEXT, messages[0].text);
            fresh.device->open(Options());
            fresh.device->close();
            EXPECT_TRUE(fresh.channel.properties().empty());
            continue;
        }
        EXPECT_GE(fresh.published.size(), 2u);
        EXPECT_TRUE(fresh.channel.messages().empty());
        if (c.expect == SEARCH) {
            const std::vector<bool> before = fixedListBindableNow();
            const std::uint16_t port = fresh.open();
            const std::vector<bool> after = fixedListBindableNow();
            EXPECT_TRUE(searchSkippedOnlyTakenPorts(port, before, after)) << port;
        } else {
            const std::uint16_t expected = canBind("0.0.0.0", c.port) ? c.port : std::uint16_t{0};
            EXPECT_EQ(expected, fresh.open());
        }
        fresh.close();
        EXPECT_EQ(0.0, fresh.portPosts().back());
    }
}

TEST_P(SensorPlugin, FractionalPortTriesExactlyThatPort) {
    // 50001.7 asks for 50001 and nothing else; here a port probed free stands in.
    const std::uint16_t port = findFreePortPair();
    session.initWithPort(port + 0.7);
    EXPECT_EQ(port, session.open());
    EXPECT_EQ(reading, plugin.kinds(plugin.exchange(port, GetParam().reading)));
    session.close();

    // Taken by someone else: the neighbour is not tried, and the listener says so.
    PortHolder holder;
    ASSERT_TRUE(holder.hold(port));
    PluginSession blocked(GetParam().plugin);
    blocked.initWithPort(port + 0.7);
    EXPECT_EQ(0, blocked.open());
    const auto messages = blocked.channel.messages();
    ASSERT_EQ(1u, messages.size());
    EXPECT_EQ("error", messages[0].type);
    EXPECT_EQ(UNABLE_TO_OPEN_ID, messages[0].id);
    EXPECT_EQ(UNABLE_TO_OPEN_TEXT, messages[0].text);
    EXPECT_TRUE(canBind("0.0.0.0", static_cast<std::uint16_t>(port + 1)));
    blocked.close();
}

TEST_P(SensorPlugin, RejectedInitKeepsTheEarlierListener) {
    const std::uint16_t port = findFreePortPair();
    session.initWithPort(port);
    const std::size_t published = session.published.size();
    for (const double bad : {65536.0, -1.0, 1e12}) {
        Options options;
        options.set("PortNumber", bad).set("IPAddress", "127.0.0.2");
        session.init(options);
        EXPECT_EQ(published, session.published.size()) << bad;
    }
    const auto messages = session.channel.messages();
    ASSERT_EQ(3u, messages.size());
    for (const auto& message : messages) {
        EXPECT_EQ("error", message.type);
        EXPECT_EQ(invalidPortId(GetParam()), message.id);
        EXPECT_EQ(INVALID_PORT_TEXT, message.text);
    }
    // The listener of the first init is the one that opens: on its port, and on
    // every address, since a datagram to 127.0.0.1 arrives.
    EXPECT_EQ(port, session.open());
    EXPECT_EQ(reading, plugin.kinds(plugin.exchange(port, GetParam().reading)));
    session.close();
    // Nor did the rejected inits change the defaults of the next init.
    session.init(Options());
    EXPECT_EQ(port, session.open());
    EXPECT_EQ(reading, plugin.kinds(plugin.exchange(port, GetParam().reading)));
    session.close();
    EXPECT_EQ(3u, session.channel.messages().size());
}

TEST_P(SensorPlugin, OptionsDefaultToThoseOfTheLastGoodInit) {
    const std::uint16_t port = findFreePortPair();
    // A text that is no address: no listener can bind it, so that whether it is
    // still asked for shows.
    Options first;
    first.set("PortNumber", port + 0.5).set("IPAddress", "no address");
    session.init(first);
    EXPECT_EQ(0, session.open());
    session.close();

    // Options of another type are passed over in favour of those of the last good
    // init; so are later options of the same name.
    Options wrongTypes;
    wrongTypes.set("PortNumber", "80").set("IPAddress", 1.0).set("PortNumber", 80.0);
    session.init(wrongTypes);
    EXPECT_EQ(0, session.open());
    session.close();
    const auto messages = session.channel.messages();
    ASSERT_EQ(2u, messages.size());
    for (const auto& message : messages)
        EXPECT_EQ(UNABLE_TO_OPEN_ID, message.id);

    Options address;
    address.set("IPAddress", "127.0.0.1");
    session.init(address);
    EXPECT_EQ(port, session.open());
    EXPECT_EQ(reading, plugin.kinds(plugin.exchange(port, GetParam().reading)));
    session.close();
    EXPECT_EQ(2u, session.channel.messages().size());
}

TEST_P(SensorPlugin, AddressIsReportedOncePerOpenEvenForARejectedDatagram) {
    std::uint16_t port = plugin.initAndOpen();
    EXPECT_EQ("", plugin.kinds(plugin.exchange(port, GetParam().rejected)));
    EXPECT_EQ(LOOPBACK_ONCE, session.addressPosts());
    EXPECT_EQ(reading, plugin.kinds(plugin.exchange(port, GetParam().reading)));
    EXPECT_EQ(LOOPBACK_ONCE, session.addressPosts());

    session.close();
    EXPECT_EQ(0.0, session.portPosts().back());
    port = session.open();
    ASSERT_NE(0, port);
    EXPECT_EQ("", plugin.kinds(plugin.exchange(port, GetParam().rejected)));
    EXPECT_EQ(reading, plugin.kinds(plugin.exchange(port, GetParam().reading)));
    EXPECT_EQ(LOOPBACK_TWICE, session.addressPosts());
    session.close();
    EXPECT_TRUE(session.channel.messages().empty());
}

TEST_P(SensorPlugin, RefusedFirstBufferStopsTheSecond) {
    const std::uint16_t port = plugin.initAndOpen();
    for (const Bytes& datagram : GetParam().twoBufferReadings) {
        const auto before = session.channel.writeCount();
        session.channel.setAcceptWrites(false);
        plugin.sender.send(port, datagram);
        ASSERT_TRUE(waitUntil([&] { return session.channel.writeCount() >= before + 1; }));
        session.channel.setAcceptWrites(true);
        // Nothing more came from the reading: the marker's buffer is the next write.
        EXPECT_EQ("", plugin.kinds(plugin.exchange(port, Bytes{})));
        EXPECT_EQ(before + 2, session.channel.writeCount());
    }
    session.close();
}

TEST_P(SensorPlugin, SecondInitWhileOpenStopsTheOldListener) {
    const std::uint16_t first = plugin.initAndOpen();
    EXPECT_EQ(reading, plugin.kinds(plugin.exchange(first, GetParam().reading)));

    const std::uint16_t second = findFreePortPair();
    session.initWithPort(second);
    // The old listener is gone with its socket: its port is free again.
    EXPECT_TRUE(canBind("0.0.0.0", first));
    plugin.sender.send(first, GetParam().reading);
    const auto writes = session.channel.writeCount();

    EXPECT_EQ(second, session.open());
    EXPECT_EQ(reading, plugin.kinds(plugin.exchange(second, GetParam().reading)));
    EXPECT_EQ(writes + 2, session.channel.writeCount());
    session.close();
    EXPECT_TRUE(session.channel.messages().empty());
}

TEST_P(SensorPlugin, NothingArrivesAfterClose) {
    const std::uint16_t port = plugin.initAndOpen();
    EXPECT_EQ(reading, plugin.kinds(plugin.exchange(port, GetParam().reading)));
    session.close();
    const auto writes = session.channel.writeCount();
    plugin.sender.send(port, GetParam().reading);
    // The socket is closed with the cycle: the port is free, and nothing was written.
    EXPECT_TRUE(canBind("0.0.0.0", port));
    EXPECT_EQ(writes, session.channel.writeCount());
}

} // namespace
} // namespace mobilesensor::testing
