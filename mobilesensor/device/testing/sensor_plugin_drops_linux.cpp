#include "accounting_since.h"
#include "sensor_plugin_suite.h"

#include <atomic>
#include <future>

// Linux keeps a count of the datagrams it dropped for each socket: the accounting of
// a device's port reads it live while the device listens, and keeps it after close.

namespace mobilesensor::testing {
namespace {

// A host that stalls in the channel until let go: the device's thread waits in it,
// and the socket's receive queue fills. Lets go when it goes, whatever happened.
class StalledHost {
public:
    explicit StalledHost(korvex::host::Channel& hostChannel) : channel(hostChannel) {
        const std::shared_future<void> released = release.get_future().share();
        channel.setBufferHandler([this, released](korvex::host::BufferPtr) {
            stalled = true;
            released.wait();
            return true;
        });
    }
    ~StalledHost() { letGo(); }
    StalledHost(const StalledHost&) = delete;
    StalledHost& operator=(const StalledHost&) = delete;

    bool waitUntilStalled() {
        return waitUntil([this] { return stalled.load(); });
    }
    void letGo() {
        if (!letGone) {
            letGone = true;
            release.set_value();
        }
    }

private:
    korvex::host::Channel& channel;
    std::promise<void> release;
    bool letGone = false;
    std::atomic<bool> stalled{false};
};

TEST_P(SensorPlugin, SystemDropsAreReadLiveAndKeptAfterClose) {
    const std::uint16_t port = plugin.initAndOpen();
    ASSERT_NE(0, port);
    const DatagramAccounting before = datagramAccountingForPort(port);
    StalledHost host(session.channel);
    plugin.sender.send(port, GetParam().reading);
    ASSERT_TRUE(host.waitUntilStalled());

    // The device's socket is open and its queue overflows: the drops show now.
    std::uint64_t sent = 1;
    std::uint64_t liveDrops = 0;
    for (; sent < 1000000 && liveDrops < 100; ++sent) {
        plugin.sender.send(port, GetParam().reading);
        if (sent % 256 == 0)
            liveDrops = accountingSince(before).droppedBySystem;
    }
    ASSERT_GE(liveDrops, 100u) << "the queue never overflowed in " << sent << " datagrams";

    // Everything the system kept is received; each datagram sent is accounted once.
    host.letGo();
    ASSERT_TRUE(waitUntil([&] {
        const DatagramAccounting added = accountingSince(before);
        return added.received + added.droppedBySystem == sent;
    })) << toText(accountingSince(before));
    const DatagramAccounting drained = accountingSince(before);
    EXPECT_GE(drained.droppedBySystem, liveDrops);
    EXPECT_EQ(drained.received, drained.delivered);
    session.close();
    // The closed socket's count stays in the totals.
    EXPECT_EQ(drained.droppedBySystem, accountingSince(before).droppedBySystem);
    EXPECT_EQ(drained.received, accountingSince(before).received);
}

} // namespace
} // namespace mobilesensor::testing
