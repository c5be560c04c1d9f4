#include "accounting_since.h"
#include "sensor_plugin_suite.h"

#include <string>

// The accounting of the datagrams that reach a device's port, read through
// kinelink's export while the loaded plug-in receives, and after it has closed.

namespace mobilesensor::testing {
namespace {

TEST_P(SensorPlugin, EveryDatagramIsAccountedForItsPortAndTheTotalsOutliveTheDevice) {
    // Two devices of the plug-in, each on a port the system found free: what reaches
    // one port is accounted for that port alone.
    const std::uint16_t port = plugin.initAndOpen();
    SensorExchange neighbour(GetParam());
    const std::uint16_t otherPort = neighbour.initAndOpen();
    ASSERT_NE(0, otherPort);
    ASSERT_NE(port, otherPort);
    DatagramSender second("127.0.0.2");
    const bool secondIsAnotherSender = second.arrivesFromItsOwnAddress();
    const DatagramAccounting before = datagramAccountingForPort(port);
    const DatagramAccounting otherBefore = datagramAccountingForPort(otherPort);
    EXPECT_EQ(port, before.port);

    // Each exchange sends its datagram and a marker reading from the first sender,
    // the accepted one.
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(reading, plugin.kinds(plugin.exchange(port, GetParam().reading)));
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ("", plugin.kinds(plugin.exchange(port, GetParam().rejected)));
    for (int i = 0; i < 4; ++i)
        second.send(port, GetParam().reading);
    // Queued before the last exchange: accounted once its marker has arrived. Under
    // Wine the second socket sends from 127.0.0.1, the accepted sender's address.
    const std::string fromSecond = secondIsAnotherSender ? "" : std::string(4, reading[0]);
    EXPECT_EQ(fromSecond, plugin.kinds(plugin.exchange(port, GetParam().rejected)));
    EXPECT_EQ(reading, neighbour.kinds(neighbour.exchange(otherPort, GetParam().reading)));

    const std::uint64_t others = secondIsAnotherSender ? 4 : 0;
    const DatagramAccounting added = accountingSince(before);
    SCOPED_TRACE(toText(added));
    EXPECT_EQ(16u, added.received);
    EXPECT_EQ(others, added.fromOtherSenders);
    EXPECT_EQ(16u - others, added.delivered);
    EXPECT_EQ(3u, added.malformed);
    EXPECT_EQ(0u, added.droppedBySystem);

    const DatagramAccounting otherAdded = accountingSince(otherBefore);
    EXPECT_EQ(2u, otherAdded.received);
    EXPECT_EQ(2u, otherAdded.delivered);
    EXPECT_EQ(0u, otherAdded.fromOtherSenders);
    EXPECT_EQ(0u, otherAdded.malformed);

    // Closed, and then the device gone: the totals stay for a closing summary.
    session.close();
    neighbour.session.close();
    session.device.reset();
    const DatagramAccounting after = datagramAccountingForPort(port);
    EXPECT_EQ(before.received + 16u, after.received);
    EXPECT_EQ(before.delivered + 16u - others, after.delivered);
    EXPECT_EQ(before.malformed + 3u, after.malformed);
    EXPECT_EQ(before.droppedBySystem, after.droppedBySystem);
}

} // namespace
} // namespace mobilesensor::testing
