#include "mobilesensor/datagram_accounting.h"
#include "mobilesensor/udp_listener.h"
#include "udp_test_support.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

// The totals of a port as listeners on real loopback sockets record them: what was
// received, from whom, what the receiver rejected, across listeners and after close.

namespace {

using namespace kinelink_test;
using mobilesensor::DatagramAccounting;
using mobilesensor::datagramAccountingForPort;
using mobilesensor::UDPListener;

const std::string LOOPBACK = "127.0.0.1";

// A listener whose receiver rejects every datagram that starts with "bad", as a
// device's parser rejects what is no reading of its app.
class JudgingListener {
public:
    explicit JudgingListener(std::uint16_t port)
        : listener(
              LOOPBACK, port, 72,
              [this](boost::shared_array<std::uint8_t> data, std::size_t length) {
                  if (std::string(reinterpret_cast<const char*>(data.get()), length)
                          .rfind("bad", 0) == 0)
                      listener.countMalformedDatagram();
                  return recording(data, length);
              },
              recorder.errorCallback(), recorder.warningCallback()) {}

    Recorder recorder;
    UDPListener::DataCallback recording = recorder.dataCallback();
    UDPListener listener;
};

TEST(DatagramAccounting, EveryDatagramIsAccountedForItsPortAcrossListenersAndAfterClose) {
    const bool secondIsAnotherSender = secondLoopbackKeepsItsAddress();
    auto first = std::make_unique<JudgingListener>(0);
    first->listener.beginListening();
    const std::uint16_t port = first->listener.getPort();
    ASSERT_NE(0, port);
    const DatagramAccounting before = datagramAccountingForPort(port);

    Sender accepted(LOOPBACK);
    Sender second("127.0.0.2");
    accepted.send(port, "good");
    ASSERT_TRUE(first->recorder.waitForDatagrams(1));
    second.send(port, "from another sender");
    accepted.send(port, "bad one");
    accepted.send(port, "bad two");
    accepted.send(port, "good again");
    // Wine sends the second socket's datagram from 127.0.0.1: then it is delivered.
    const std::uint64_t others = secondIsAnotherSender ? 1 : 0;
    ASSERT_TRUE(first->recorder.waitForDatagrams(secondIsAnotherSender ? 4 : 5));
    first->listener.stopListening();
    first.reset();

    // Kept after the listener is gone.
    DatagramAccounting now = datagramAccountingForPort(port);
    EXPECT_EQ(port, now.port);
    EXPECT_EQ(5u, now.received - before.received);
    EXPECT_EQ(others, now.fromOtherSenders - before.fromOtherSenders);
    EXPECT_EQ(5u - others, now.delivered - before.delivered);
    EXPECT_EQ(2u, now.malformed - before.malformed);
    EXPECT_EQ(0u, now.droppedBySystem - before.droppedBySystem);

    // Another listener of the port adds to the same totals.
    JudgingListener later(port);
    later.listener.beginListening();
    ASSERT_EQ(port, later.listener.getPort());
    accepted.send(port, "bad three");
    ASSERT_TRUE(later.recorder.waitForDatagrams(1));
    later.listener.stopListening();
    now = datagramAccountingForPort(port);
    EXPECT_EQ(6u, now.received - before.received);
    EXPECT_EQ(6u - others, now.delivered - before.delivered);
    EXPECT_EQ(3u, now.malformed - before.malformed);
}

TEST(DatagramAccounting, MalformedOutsideACycleCountsNowhere) {
    JudgingListener idle(0);
    idle.listener.countMalformedDatagram(); // no socket bound: nothing to count for
    idle.listener.beginListening();
    const std::uint16_t port = idle.listener.getPort();
    ASSERT_NE(0, port);
    const DatagramAccounting before = datagramAccountingForPort(port);
    idle.listener.stopListening();
    idle.listener.countMalformedDatagram();
    EXPECT_EQ(before.malformed, datagramAccountingForPort(port).malformed);
}

TEST(DatagramAccounting, EveryPortListsEachBoundPortOnceInOrder) {
    JudgingListener one(0);
    JudgingListener two(0);
    one.listener.beginListening();
    two.listener.beginListening();
    const std::uint16_t first = one.listener.getPort();
    const std::uint16_t second = two.listener.getPort();
    ASSERT_NE(0, first);
    ASSERT_NE(0, second);
    Sender(LOOPBACK).send(second, "good");
    ASSERT_TRUE(two.recorder.waitForDatagrams(1));
    one.listener.stopListening();
    two.listener.stopListening();

    const std::vector<DatagramAccounting> every = mobilesensor::datagramAccountingForEveryPort();
    int found = 0;
    for (std::size_t i = 0; i < every.size(); ++i) {
        if (i > 0) {
            EXPECT_LT(every[i - 1].port, every[i].port);
        }
        if (every[i].port == first || every[i].port == second) {
            ++found;
            const DatagramAccounting portTotals = datagramAccountingForPort(every[i].port);
            EXPECT_EQ(portTotals.received, every[i].received);
            EXPECT_EQ(portTotals.delivered, every[i].delivered);
        }
    }
    EXPECT_EQ(2, found);
    for (const DatagramAccounting& totals : every)
        EXPECT_NE(1, totals.port); // never bound
}

TEST(DatagramAccounting, APortNoListenerBoundHasNoDatagrams) {
    // Port 1 is privileged and not in the search order: no listener binds it here.
    const DatagramAccounting none = datagramAccountingForPort(1);
    EXPECT_EQ(1, none.port);
    EXPECT_EQ(0u, none.received + none.fromOtherSenders + none.delivered + none.malformed +
                      none.droppedBySystem);
}

} // namespace
