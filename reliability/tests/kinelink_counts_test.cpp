#include "mobilesensor/device/testing/plugin_session.h"
#include "mobilesensor/device/testing/udp_probe.h"
#include "mobilesensor/kinelink_counts.h"
#include "mobilesensor/sample_buffers.h"
#include "mobilesensor/udp_listener.h"
#include "reliability/counts_since.h"
#include "reliability/loopback_sender.h"
#include "reliability/process_usage.h"

#include <condition_variable>
#include <cstring>
#include <gtest/gtest.h>
#include <mutex>
#include <optional>

// kinelink's process-wide counts, which the load tests account with: datagrams
// received, dropped as from another sender, delivered, and dropped by the system,
// and sample buffers created and destroyed. Each test compares two readings.

namespace {

using mobilesensor::getKinelinkCounts;
using mobilesensor::KinelinkCounts;
using mobilesensor::UDPListener;
using mobilesensor::testing::waitUntil;
using reliability::LoopbackSender;
const auto since = reliability::countsSince;
const UDPListener::MessageCallback NO_REPORT;

void sendText(LoopbackSender& sender, std::uint16_t port, const char* text) {
    ASSERT_TRUE(sender.send(port, reinterpret_cast<const std::uint8_t*>(text), std::strlen(text)));
}

// A data callback that can be made to wait, so that datagrams pile up in the
// socket's queue.
class GatedCallback {
public:
    UDPListener::DataCallback callback() {
        return [this](boost::shared_array<std::uint8_t>, std::size_t) {
            std::unique_lock<std::mutex> lock(mutex);
            ++calls;
            changed.notify_all();
            changed.wait(lock, [this] { return open; });
            return true;
        };
    }
    void close() {
        const std::lock_guard<std::mutex> lock(mutex);
        open = false;
    }
    void release() {
        {
            const std::lock_guard<std::mutex> lock(mutex);
            open = true;
        }
        changed.notify_all();
    }
    bool waitForCalls(std::uint64_t count) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, mobilesensor::testing::WAIT, [&] { return calls >= count; });
    }
    std::uint64_t callCount() {
        const std::lock_guard<std::mutex> lock(mutex);
        return calls;
    }

private:
    std::mutex mutex;
    std::condition_variable changed;
    bool open = true;
    std::uint64_t calls = 0;
};

TEST(KinelinkCounts, DatagramsOfTheAcceptedAndOfOtherSendersAreCounted) {
    const std::uint16_t port = mobilesensor::testing::findFreePortPair();
    GatedCallback gate;
    UDPListener listener("", port, 16, gate.callback(), NO_REPORT, NO_REPORT);
    LoopbackSender first("127.0.0.1");
    LoopbackSender second("127.0.0.2");
    const KinelinkCounts before = getKinelinkCounts();

    listener.beginListening();
    ASSERT_EQ(port, listener.getPort());
    for (int i = 0; i < 5; ++i)
        sendText(first, port, "accepted");
    ASSERT_TRUE(gate.waitForCalls(5));
    for (int i = 0; i < 7; ++i)
        sendText(second, port, "dropped");
    sendText(first, port, "marker, after the others on the same queue");
    ASSERT_TRUE(gate.waitForCalls(6));
    listener.stopListening();

    const KinelinkCounts d = since(before);
    EXPECT_EQ(13u, d.datagramsReceived);
    EXPECT_EQ(7u, d.datagramsFromOtherSenders);
    EXPECT_EQ(6u, d.datagramsDelivered);
    EXPECT_EQ(0u, d.datagramsDroppedBySystem);
}

TEST(KinelinkCounts, DatagramsTheSystemDroppedAreTakenFromTheSocketAsItCloses) {
    const std::uint16_t port = mobilesensor::testing::findFreePortPair();
    GatedCallback gate;
    UDPListener listener("127.0.0.1", port, 16, gate.callback(), NO_REPORT, NO_REPORT);
    LoopbackSender sender("127.0.0.1");
    const KinelinkCounts before = getKinelinkCounts();

    listener.beginListening();
    ASSERT_EQ(port, listener.getPort());
    gate.close();
    sendText(sender, port, "held in the callback");
    ASSERT_TRUE(gate.waitForCalls(1));
    // The service thread waits in the callback: the queue fills and overflows.
    std::optional<std::uint64_t> drops;
    for (int i = 0; i < 1000000; ++i) {
        sendText(sender, port, "queued or dropped");
        if (i % 256 == 255 && (drops = reliability::udpSocketDrops(port)).value_or(0) >= 100)
            break;
    }
    drops = reliability::udpSocketDrops(port);
    ASSERT_TRUE(drops.has_value());
    ASSERT_GE(*drops, 100u) << "the socket's queue never overflowed";
    gate.release();
    // Everything the system kept is delivered; nothing else is sent any more.
    ASSERT_TRUE(waitUntil([&] {
        return since(before).datagramsReceived + *drops == sender.sent();
    })) << since(before).datagramsReceived
        << " received, " << *drops << " dropped, " << sender.sent() << " sent";
    EXPECT_EQ(drops, reliability::udpSocketDrops(port));
    listener.stopListening();

    const KinelinkCounts d = since(before);
    EXPECT_EQ(*drops, d.datagramsDroppedBySystem);
    EXPECT_EQ(sender.sent(), d.datagramsReceived + d.datagramsDroppedBySystem);
    EXPECT_EQ(d.datagramsReceived, d.datagramsDelivered);
    EXPECT_EQ(gate.callCount(), d.datagramsDelivered);
}

// The counts this program reads are those of the kinelink that the loaded plug-ins
// call: one datagram through a loaded device moves them by one, and its buffer by
// one. (Two copies of kinelink in the process would leave these counts still.)
TEST(KinelinkCounts, TheLoadedPluginsCountInThisProgramsKinelink) {
    mobilesensor::testing::PluginSession session("kinedgram");
    session.init(korvex::host::Options());
    const std::uint16_t port = session.open();
    ASSERT_NE(0, port);
    LoopbackSender sender("127.0.0.1");
    const KinelinkCounts before = getKinelinkCounts();

    sendText(sender, port, "A,1,2,1.5,2.5,3.5\n");
    ASSERT_TRUE(session.channel.waitForBuffers(1, mobilesensor::testing::WAIT));
    session.close();
    KinelinkCounts d = since(before);
    EXPECT_EQ(1u, d.datagramsReceived);
    EXPECT_EQ(1u, d.datagramsDelivered);
    EXPECT_EQ(1u, d.sampleBuffersCreated);
    EXPECT_EQ(0u, d.sampleBuffersDestroyed);
    session.channel.takeAllBuffers();
    EXPECT_EQ(1u, since(before).sampleBuffersDestroyed);
}

TEST(KinelinkCounts, SampleBuffersAreCountedWhenCreatedAndWhenDestroyed) {
    using mobilesensor::GyroscopeDataBuffer;
    using mobilesensor::MobileSensorDataBuffer;
    const KinelinkCounts before = getKinelinkCounts();
    auto* a = new GyroscopeDataBuffer(MobileSensorDataBuffer::KINESCOPE_APP, 1.0, 2.0, 3.0);
    auto* b = new MobileSensorDataBuffer(MobileSensorDataBuffer::KINEDGRAM_APP);
    EXPECT_EQ(2u, since(before).sampleBuffersCreated);
    EXPECT_EQ(0u, since(before).sampleBuffersDestroyed);
    a->destroy();
    EXPECT_EQ(1u, since(before).sampleBuffersDestroyed);
    b->destroy();
    EXPECT_EQ(2u, since(before).sampleBuffersCreated);
    EXPECT_EQ(2u, since(before).sampleBuffersDestroyed);
}

} // namespace
