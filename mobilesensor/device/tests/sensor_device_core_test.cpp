#include "conduit/kit/kit.h"
#include "host/channel.h"
#include "host/property_list.h"
#include "mobilesensor/device/sensor_device_core.h"
#include "mobilesensor/ethernet_interfaces.h"
#include "mobilesensor/string_vector_property.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

// The shared part of the sensor devices, without sockets: options, publishing,
// messages and the once-per-open report. Opening is tested through the plug-ins.

namespace {

using korvex::host::Options;
using korvex::host::PropertyListOwner;
using korvex::host::scalarValue;
using mobilesensor::SensorDeviceCore;

class SensorDeviceCoreTest : public testing::Test {
protected:
    korvex::host::Channel channel;
    PropertyListOwner published;
    int datagrams = 0;
    SensorDeviceCore core{channel, "probe", 64,
                          [this](boost::shared_array<std::uint8_t>, std::size_t) {
                              ++datagrams;
                              return true;
                          }};
};

TEST_F(SensorDeviceCoreTest, OpenAndCloseBeforeInitDoNothing) {
    core.open();
    core.close();
    EXPECT_TRUE(channel.properties().empty());
    EXPECT_TRUE(channel.messages().empty());
}

TEST_F(SensorDeviceCoreTest, InitPublishesPortAddressAndInterfacesInOrder) {
    core.init(Options(), published.list());
    std::vector<std::string> names = {"PortNumber", "IPAddress"};
    const std::vector<std::string> interfaces = mobilesensor::getEthernetInterfaces();
    if (!interfaces.empty())
        names.push_back("AvailableInterfaces");
    ASSERT_EQ(names, published.names());
    EXPECT_EQ(0.0, scalarValue<double>(published[0]).value_or(-1.0));
    EXPECT_EQ("", scalarValue<std::string>(published[1]).value_or("?"));
    if (!interfaces.empty()) {
        const auto* list = dynamic_cast<mobilesensor::StringVectorProperty*>(published[2]);
        ASSERT_NE(nullptr, list);
        EXPECT_EQ(interfaces, list->getValue());
    }
    EXPECT_TRUE(channel.messages().empty());
    // init publishes; it posts nothing.
    EXPECT_TRUE(channel.properties().empty());
}

TEST_F(SensorDeviceCoreTest, OptionsDefaultToThoseOfTheLastGoodInit) {
    Options first;
    first.set("PortNumber", 4321.5).set("IPAddress", "127.0.0.1");
    core.init(first, published.list());
    EXPECT_EQ(4321, core.requestedPort());
    EXPECT_EQ("127.0.0.1", core.requestedAddress());

    // Options of another type are passed over in favour of the defaults; so are
    // later options of the same name.
    Options wrongTypes;
    wrongTypes.set("PortNumber", "80").set("IPAddress", 1.0).set("PortNumber", 80.0);
    core.init(wrongTypes, published.list());
    EXPECT_EQ(4321, core.requestedPort());
    EXPECT_EQ("127.0.0.1", core.requestedAddress());
    EXPECT_TRUE(channel.messages().empty());
}

TEST_F(SensorDeviceCoreTest, RejectedPortReportsAndChangesNothing) {
    Options good;
    good.set("PortNumber", 4321.0);
    core.init(good, published.list());
    const std::size_t publishedBefore = published.size();

    for (const double bad : {65536.0, -1.0, 1e12}) {
        Options options;
        options.set("PortNumber", bad).set("IPAddress", "127.0.0.2");
        core.init(options, published.list());
        EXPECT_EQ(publishedBefore, published.size()) << bad;
        EXPECT_EQ(4321, core.requestedPort()) << bad;
        EXPECT_EQ("", core.requestedAddress()) << bad;
    }
    const auto messages = channel.messages();
    ASSERT_EQ(3u, messages.size());
    for (const auto& message : messages) {
        EXPECT_EQ("error", message.type);
        EXPECT_EQ("KORVEX:probe:invalidPort", message.id);
        EXPECT_EQ("Port number must be less than 65536.", message.text);
    }
}

TEST_F(SensorDeviceCoreTest, MessagesCarryIdentifierAndText) {
    core.errorFcn("KORVEX:UDPListener:startUDPServer:unableToOpen", "Cannot start UDP server.");
    core.warnFcn("KORVEX:probe:note", "A note.");
    core.errorFcn("", "");
    const auto messages = channel.messages();
    ASSERT_EQ(3u, messages.size());
    EXPECT_EQ("error", messages[0].type);
    EXPECT_EQ("KORVEX:UDPListener:startUDPServer:unableToOpen", messages[0].id);
    EXPECT_EQ("Cannot start UDP server.", messages[0].text);
    EXPECT_EQ("warning", messages[1].type);
    EXPECT_EQ("KORVEX:probe:note", messages[1].id);
    EXPECT_EQ("", messages[2].id);
}

TEST_F(SensorDeviceCoreTest, AddressIsReportedOnceWithoutOpen) {
    Options options;
    options.set("IPAddress", "127.0.0.1");
    core.init(options, published.list());
    core.publishIPAddressOnce();
    core.publishIPAddressOnce();
    const auto posts = channel.properties("IPAddress");
    ASSERT_EQ(1u, posts.size());
    // Before any datagram the listener reports the address it was asked to bind.
    EXPECT_EQ("127.0.0.1", scalarValue<std::string>(posts[0].get()).value_or("?"));
}

} // namespace
