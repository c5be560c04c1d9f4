#include "mobilesensor/datagram_accounting.h"
#include "mobilesensor/datagram_tap.h"
#include "mobilesensor/local_address.h"
#include "mobilesensor/udp_listener.h"
#include "udp_test_support.h"

#include <algorithm>
#include <atomic>
#include <boost/bind/bind.hpp>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace {

using namespace kinelink_test;
using namespace std::chrono_literals;
using mobilesensor::DatagramAccounting;
using mobilesensor::UDPListener;

const std::string LOOPBACK = "127.0.0.1";
const std::string SECOND_LOOPBACK = "127.0.0.2";
const std::string UNABLE_TO_OPEN_ID = "KORVEX:UDPListener:startUDPServer:unableToOpen";
const std::string UNABLE_TO_OPEN_TEXT = "Cannot start UDP server.";

class UdpListenerTest : public ::testing::Test {
protected:
    std::unique_ptr<UDPListener> makeListener(std::uint16_t port, std::size_t receiveSize = 72,
                                              const std::string& address = LOOPBACK) {
        return std::make_unique<UDPListener>(address, port, receiveSize, recorder.dataCallback(),
                                             recorder.errorCallback(), recorder.warningCallback());
    }

    Recorder recorder;
};

// Begins a searching cycle and returns its port, checked against the ports of the
// search order that were free before it searched and still are: other programs on
// the machine bind and release ports of the same list at any time, so the port to
// expect cannot be worked out beforehand, but a free port that the search went past
// is the search's fault.
std::uint16_t beginSearchingCycle(UDPListener& listener) {
    const std::vector<std::uint16_t> freeBefore = freeSearchPorts(LOOPBACK);
    listener.beginListening();
    const std::uint16_t found = listener.getPort();
    EXPECT_NE(0, found);
    std::string passed;
    for (std::uint16_t port : freePortsPassedBy(LOOPBACK, freeBefore, found))
        passed += " " + std::to_string(port);
    EXPECT_TRUE(passed.empty()) << "bound " << found << ", went past the free ports" << passed;
    return found;
}

// --- Port search -------------------------------------------------------------------

TEST_F(UdpListenerTest, SearchSkipsTakenPortsOfTheList) {
    PortHolder taken;
    taken.hold(50000);
    taken.hold(60000);
    auto listener = makeListener(0);
    // 51111 unless another program holds it: the first free port after the two.
    const std::uint16_t found = beginSearchingCycle(*listener);
    EXPECT_NE(50000, found);
    EXPECT_NE(60000, found);
    listener->stopListening();
    EXPECT_TRUE(recorder.errors().empty());
}

TEST_F(UdpListenerTest, SearchFallsBackToCountingFrom49152) {
    PortHolder taken;
    for (std::uint16_t port : fixedListPorts())
        taken.hold(port);
    auto listener = makeListener(0);

    // 49152 unless another program holds it.
    const std::uint16_t first = beginSearchingCycle(*listener);
    const std::vector<std::uint16_t> list = fixedListPorts();
    EXPECT_EQ(list.end(), std::find(list.begin(), list.end(), first)) << first;
    EXPECT_GE(first, 49152);
    listener->stopListening();

    // With that one taken as well, another (49153 as a rule).
    taken.hold(first);
    const std::uint16_t second = beginSearchingCycle(*listener);
    EXPECT_NE(first, second);
    EXPECT_GE(second, 49152);
    listener->stopListening();
    EXPECT_TRUE(recorder.errors().empty());
}

TEST_F(UdpListenerTest, EveryCycleSearchesFromTheStartAgain) {
    auto listener = makeListener(0);
    {
        PortHolder taken;
        for (std::uint16_t port : fixedListPorts())
            taken.hold(port);
        listener->beginListening();
        EXPECT_GE(listener->getPort(), 49152);
        listener->stopListening();
    }
    // The list's ports are free again; the earlier cycle counted, this one does not.
    beginSearchingCycle(*listener);
    listener->stopListening();
}

TEST_F(UdpListenerTest, FixedPortInUseIsReportedOnceAndNothingElseIsTried) {
    PortHolder taken;
    const std::uint16_t port = taken.holdAny();
    auto listener = makeListener(port);
    listener->beginListening();
    // No other port was bound in its place.
    EXPECT_EQ(0, listener->getPort());
    listener->stopListening();
    ASSERT_EQ(1u, recorder.errors().size());
    EXPECT_EQ(UNABLE_TO_OPEN_ID, recorder.errors()[0].id);
    EXPECT_EQ(UNABLE_TO_OPEN_TEXT, recorder.errors()[0].text);
}

TEST_F(UdpListenerTest, FixedFreePortIsBoundAndReceives) {
    std::uint16_t port = 0;
    {
        PortHolder probe;
        port = probe.holdAny(); // free a moment ago: released when probe goes
    }
    auto listener = makeListener(port);
    listener->beginListening();
    ASSERT_EQ(port, listener->getPort());
    Sender(LOOPBACK).send(port, "hello");
    ASSERT_TRUE(recorder.waitForDatagrams(1));
    listener->stopListening();
    EXPECT_EQ("hello", recorder.datagrams()[0].bytes);
}

TEST_F(UdpListenerTest, AddressThatDoesNotParseIsReportedOnce) {
    for (std::uint16_t port : {std::uint16_t{0}, std::uint16_t{50000}}) {
        Recorder reports;
        UDPListener listener("not an address", port, 72, reports.dataCallback(),
                             reports.errorCallback(), reports.warningCallback());
        listener.beginListening();
        EXPECT_EQ(0, listener.getPort());
        listener.stopListening();
        ASSERT_EQ(1u, reports.errors().size()) << "port " << port;
        EXPECT_EQ(UNABLE_TO_OPEN_ID, reports.errors()[0].id);
        EXPECT_EQ(UNABLE_TO_OPEN_TEXT, reports.errors()[0].text);
    }
}

// --- Reception ---------------------------------------------------------------------

TEST_F(UdpListenerTest, DropsDatagramsFromSecondSender) {
    if (!secondLoopbackKeepsItsAddress())
        GTEST_SKIP() << "datagrams sent from 127.0.0.2 arrive from 127.0.0.1 here (Wine)";
    auto listener = makeListener(0);
    listener->beginListening();
    ASSERT_NE(0, listener->getPort());
    Sender first(LOOPBACK);
    Sender sameAddressOtherPort(LOOPBACK);
    Sender second(SECOND_LOOPBACK);
    ASSERT_NE(first.localPort(), sameAddressOtherPort.localPort());

    first.send(listener->getPort(), "one");
    ASSERT_TRUE(recorder.waitForDatagrams(1));
    second.send(listener->getPort(), "dropped");
    sameAddressOtherPort.send(listener->getPort(), "two");
    first.send(listener->getPort(), "three");
    // The queue is in order: once "three" is here, "dropped" has been passed over.
    ASSERT_TRUE(recorder.waitForDatagrams(3));
    listener->stopListening();

    const auto datagrams = recorder.datagrams();
    ASSERT_EQ(3u, datagrams.size());
    EXPECT_EQ("one", datagrams[0].bytes);
    EXPECT_EQ("two", datagrams[1].bytes);
    EXPECT_EQ("three", datagrams[2].bytes);
    EXPECT_EQ(LOOPBACK, listener->getDeviceIPAddress());
    EXPECT_TRUE(recorder.errors().empty());
}

TEST_F(UdpListenerTest, FirstSenderStaysTheOnlyOneInLaterCycles) {
    if (!secondLoopbackKeepsItsAddress())
        GTEST_SKIP() << "datagrams sent from 127.0.0.2 arrive from 127.0.0.1 here (Wine)";
    auto listener = makeListener(0);
    listener->beginListening();
    Sender(SECOND_LOOPBACK).send(listener->getPort(), "first");
    ASSERT_TRUE(recorder.waitForDatagrams(1));
    listener->stopListening();

    listener->beginListening();
    Sender(LOOPBACK).send(listener->getPort(), "other sender");
    Sender(SECOND_LOOPBACK).send(listener->getPort(), "same sender");
    ASSERT_TRUE(recorder.waitForDatagrams(2));
    listener->stopListening();
    ASSERT_EQ(2u, recorder.datagrams().size());
    EXPECT_EQ("same sender", recorder.datagrams()[1].bytes);
    EXPECT_EQ(SECOND_LOOPBACK, listener->getDeviceIPAddress());
}

TEST_F(UdpListenerTest, LongDatagramIsCutToReceiveSize) {
    auto listener = makeListener(0, 72);
    listener->beginListening();
    std::string longOne(100, '\0');
    for (std::size_t i = 0; i < longOne.size(); ++i)
        longOne[i] = static_cast<char>(i + 1);
    Sender sender(LOOPBACK);
    sender.send(listener->getPort(), longOne);
    sender.send(listener->getPort(), longOne.substr(0, 72));
    sender.send(listener->getPort(), longOne.substr(0, 40));
    ASSERT_TRUE(recorder.waitForDatagrams(3));
    listener->stopListening();

    const auto datagrams = recorder.datagrams();
    ASSERT_EQ(3u, datagrams.size());
    // Cut to its first 72 bytes; reception goes on after it.
    EXPECT_EQ(72u, datagrams[0].length);
    EXPECT_EQ(longOne.substr(0, 72), datagrams[0].bytes);
    EXPECT_EQ(72u, datagrams[1].length);
    EXPECT_EQ(40u, datagrams[2].length);
    EXPECT_EQ(longOne.substr(0, 40), datagrams[2].bytes);
    EXPECT_TRUE(recorder.errors().empty());
}

TEST_F(UdpListenerTest, EveryDatagramArrivesInAFreshArrayTheReceiverMayKeep) {
    auto listener = makeListener(0, 16);
    listener->beginListening();
    Sender sender(LOOPBACK);
    sender.send(listener->getPort(), "first");
    sender.send(listener->getPort(), "second");
    ASSERT_TRUE(recorder.waitForDatagrams(2));
    listener->stopListening();
    const auto datagrams = recorder.datagrams();
    EXPECT_NE(datagrams[0].data.get(), datagrams[1].data.get());
    // The kept array still holds its own datagram.
    EXPECT_EQ("first", std::string(reinterpret_cast<const char*>(datagrams[0].data.get()), 5));
}

TEST_F(UdpListenerTest, ArraysTheReceiverDidNotKeepCarryEachDatagramWhole) {
    // A receiver that copies what it needs and lets the array go, as the devices do.
    Recorder copying(false);
    UDPListener listener(LOOPBACK, 0, 16, copying.dataCallback(), copying.errorCallback(),
                         copying.warningCallback());
    listener.beginListening();
    const std::vector<std::string> sent = {"a long datagram!", "xy", "", "12345",
                                           "a long datagram!"};
    Sender sender(LOOPBACK);
    for (const std::string& datagram : sent)
        sender.send(listener.getPort(), datagram);
    ASSERT_TRUE(copying.waitForDatagrams(sent.size()));
    listener.stopListening();
    const auto datagrams = copying.datagrams();
    ASSERT_EQ(sent.size(), datagrams.size());
    for (std::size_t i = 0; i < sent.size(); ++i) {
        EXPECT_EQ(sent[i], datagrams[i].bytes) << "datagram " << i;
        EXPECT_EQ(sent[i].size(), datagrams[i].length) << "datagram " << i;
    }
}

TEST_F(UdpListenerTest, ManyDatagramsSentAtOnceAllArriveInOrder) {
    // A burst, as a phone sends after a Wi-Fi stall: the enlarged receive buffer
    // holds it.
    auto listener = makeListener(0);
    listener->beginListening();
    EXPECT_GT(listener->getReceiveBufferSize(), 0u);
    constexpr int COUNT = 1000;
    Sender sender(LOOPBACK);
    for (int i = 0; i < COUNT; ++i)
        sender.send(listener->getPort(), std::to_string(i));
    ASSERT_TRUE(recorder.waitForDatagrams(COUNT));
    listener->stopListening();
    const auto datagrams = recorder.datagrams();
    for (int i = 0; i < COUNT; ++i)
        ASSERT_EQ(std::to_string(i), datagrams[static_cast<std::size_t>(i)].bytes);
}

TEST_F(UdpListenerTest, SteadyFastStreamThenALoneDatagramAllArriveInOrder) {
    // A phone streaming faster than one datagram a millisecond, a few at a time, then
    // falling quiet: the listener reads a fast stream after short pauses, and must
    // lose or reorder nothing of it, nor miss the lone datagram that comes after it
    // went back to waiting.
    auto listener = makeListener(0);
    listener->beginListening();
    constexpr int STREAM = 3000;
    Sender sender(LOOPBACK);
    for (int i = 0; i < STREAM; ++i) {
        sender.send(listener->getPort(), std::to_string(i));
        if (i % 10 == 9)
            std::this_thread::sleep_for(200us);
    }
    ASSERT_TRUE(recorder.waitForDatagrams(STREAM));
    std::this_thread::sleep_for(20ms); // quiet for many pauses
    sender.send(listener->getPort(), "lone");
    ASSERT_TRUE(recorder.waitForDatagrams(STREAM + 1));
    listener->stopListening();
    const auto datagrams = recorder.datagrams();
    ASSERT_EQ(static_cast<std::size_t>(STREAM + 1), datagrams.size());
    for (int i = 0; i < STREAM; ++i)
        ASSERT_EQ(std::to_string(i), datagrams[static_cast<std::size_t>(i)].bytes);
    EXPECT_EQ("lone", datagrams.back().bytes);
}

// Holds the service thread inside the data callback until the test lets it go, so
// that the datagrams sent meanwhile queue up in the socket.
class Gate {
public:
    void holdHere() {
        std::unique_lock<std::mutex> lock(mutex_);
        held_ = true;
        changed_.notify_all();
        changed_.wait_for(lock, 10s, [this] { return open_; });
    }
    bool waitUntilHeld() {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, 10s, [this] { return held_; });
    }
    void open() {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            open_ = true;
        }
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool held_ = false;
    bool open_ = false;
};

TEST_F(UdpListenerTest, QueuedDatagramsFollowTheSameRules) {
    Gate gate;
    auto recording = recorder.dataCallback();
    UDPListener listener(
        LOOPBACK, 0, 72,
        [&](boost::shared_array<std::uint8_t> data, std::size_t length) {
            const std::string bytes(reinterpret_cast<const char*>(data.get()), length);
            if (bytes == "hold")
                gate.holdHere();
            recording(data, length);
            if (bytes == "boom")
                throw std::runtime_error("parser failed");
            return true;
        },
        recorder.errorCallback(), recorder.warningCallback());
    listener.beginListening();
    const std::uint16_t port = listener.getPort();
    Sender first(LOOPBACK);
    Sender otherPort(LOOPBACK);
    first.send(port, "hold");
    ASSERT_TRUE(gate.waitUntilHeld());

    // All of these wait in the socket's queue until the gate opens.
    const std::string longOne(100, 'L');
    if (secondLoopbackKeepsItsAddress())
        Sender(SECOND_LOOPBACK).send(port, "dropped");
    first.send(port, longOne);
    otherPort.send(port, "other port");
    first.send(port, "boom");
    first.send(port, "never");
    gate.open();
    ASSERT_TRUE(recorder.waitForErrors(1));
    EXPECT_FALSE(recorder.waitForDatagrams(5, 300ms));
    listener.stopListening();

    const auto datagrams = recorder.datagrams();
    ASSERT_EQ(4u, datagrams.size());
    EXPECT_EQ("hold", datagrams[0].bytes);
    EXPECT_EQ(longOne.substr(0, 72), datagrams[1].bytes);
    EXPECT_EQ(72u, datagrams[1].length);
    EXPECT_EQ("other port", datagrams[2].bytes);
    EXPECT_EQ("boom", datagrams[3].bytes);
    ASSERT_EQ(1u, recorder.errors().size());
    EXPECT_EQ("", recorder.errors()[0].id);
}

// What the process's datagram tap saw, as long as it lives.
class TapRecord {
public:
    TapRecord() {
        mobilesensor::setDatagramTap([this](const mobilesensor::TappedDatagram& datagram) {
            const std::lock_guard<std::mutex> lock(mutex_);
            seen_.emplace_back(reinterpret_cast<const char*>(datagram.bytes), datagram.size);
        });
    }
    ~TapRecord() { mobilesensor::setDatagramTap({}); }
    TapRecord(const TapRecord&) = delete;
    TapRecord& operator=(const TapRecord&) = delete;
    std::vector<std::string> seen() {
        const std::lock_guard<std::mutex> lock(mutex_);
        return seen_;
    }

private:
    std::mutex mutex_;
    std::vector<std::string> seen_;
};

TEST_F(UdpListenerTest, BurstQueuedWhileTheReceiverIsBusyIsDeliveredWholeAndInOrder) {
    // Many times what the listener reads at once and delivers in one turn of its event
    // loop, some longer than the receive size, and datagrams of a second sender in
    // between: every datagram meets every rule, in the order it arrived. The receiver
    // lets each array go, so the listener reuses one while it works through a batch.
    Gate gate;
    Recorder copying(false);
    auto recording = copying.dataCallback();
    UDPListener listener(
        LOOPBACK, 0, 72,
        [&](boost::shared_array<std::uint8_t> data, std::size_t length) {
            if (std::string(reinterpret_cast<const char*>(data.get()), length) == "hold")
                gate.holdHere();
            return recording(std::move(data), length);
        },
        copying.errorCallback(), copying.warningCallback());
    TapRecord tap;
    listener.beginListening();
    const std::uint16_t port = listener.getPort();
    ASSERT_NE(0, port);
    const DatagramAccounting before = mobilesensor::datagramAccountingForPort(port);
    Sender first(LOOPBACK);
    first.send(port, "hold");
    ASSERT_TRUE(gate.waitUntilHeld());

    std::unique_ptr<Sender> second;
    if (secondLoopbackKeepsItsAddress())
        second = std::make_unique<Sender>(SECOND_LOOPBACK);
    constexpr int COUNT = 600;
    std::vector<std::string> sent{"hold"};
    std::uint64_t others = 0;
    for (int i = 0; i < COUNT; ++i) {
        std::string bytes =
            std::to_string(i) + ":" + std::string(static_cast<std::size_t>(i % 131), 'x');
        first.send(port, bytes);
        sent.push_back(std::move(bytes));
        if (second && i % 37 == 0) {
            second->send(port, "from another sender");
            ++others;
        }
    }
    gate.open();
    ASSERT_TRUE(copying.waitForDatagrams(sent.size()));
    listener.stopListening();

    const auto datagrams = copying.datagrams();
    ASSERT_EQ(sent.size(), datagrams.size());
    for (std::size_t i = 0; i < sent.size(); ++i) {
        ASSERT_EQ(sent[i].substr(0, 72), datagrams[i].bytes) << "datagram " << i;
        ASSERT_EQ(std::min<std::size_t>(sent[i].size(), 72), datagrams[i].length);
    }
    EXPECT_EQ(sent, tap.seen()); // whole, as they arrived
    EXPECT_TRUE(copying.errors().empty());
    const DatagramAccounting after = mobilesensor::datagramAccountingForPort(port);
    EXPECT_EQ(sent.size() + others, after.received - before.received);
    EXPECT_EQ(others, after.fromOtherSenders - before.fromOtherSenders);
    EXPECT_EQ(sent.size(), after.delivered - before.delivered);
    EXPECT_EQ(0u, after.droppedBySystem - before.droppedBySystem);
}

// --- Cycles ------------------------------------------------------------------------

TEST_F(UdpListenerTest, StopThenStartReceivesAgainOnANewlyChosenPort) {
    auto listener = makeListener(0);
    EXPECT_EQ(0, listener->getPort());
    listener->beginListening();
    Sender sender(LOOPBACK);
    sender.send(listener->getPort(), "before");
    ASSERT_TRUE(recorder.waitForDatagrams(1));
    listener->stopListening();
    EXPECT_EQ(0, listener->getPort());
    EXPECT_EQ(0u, listener->getReceiveBufferSize());

    beginSearchingCycle(*listener);
    sender.send(listener->getPort(), "after");
    ASSERT_TRUE(recorder.waitForDatagrams(2));
    listener->stopListening();
    EXPECT_EQ("after", recorder.datagrams()[1].bytes);
    EXPECT_TRUE(recorder.errors().empty());
}

TEST_F(UdpListenerTest, NoCallbackRunsAfterStopListeningReturns) {
    std::atomic<int> inside{0};
    std::atomic<int> delivered{0};
    std::atomic<bool> stopReturned{false};
    std::atomic<int> afterStop{0};
    UDPListener listener(
        LOOPBACK, 0, 72,
        [&](boost::shared_array<std::uint8_t>, std::size_t) {
            ++inside;
            if (stopReturned)
                ++afterStop;
            ++delivered;
            --inside;
            return true;
        },
        recorder.errorCallback(), recorder.warningCallback());
    listener.beginListening();
    const std::uint16_t port = listener.getPort();

    // A sender floods the port before, during and after the stop.
    std::atomic<bool> flooding{true};
    std::atomic<int> sentAfterStop{0};
    std::thread flood([&] {
        Sender sender(LOOPBACK);
        while (flooding) {
            sender.send(port, "x");
            if (stopReturned)
                ++sentAfterStop;
        }
    });
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (delivered < 50 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();

    listener.stopListening();
    stopReturned = true;
    const int insideAtStop = inside;
    const int deliveredAtStop = delivered;
    while (sentAfterStop < 200 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    flooding = false;
    flood.join();

    EXPECT_GE(deliveredAtStop, 50);
    EXPECT_EQ(0, insideAtStop);
    EXPECT_EQ(0, afterStop.load());
    EXPECT_EQ(deliveredAtStop, delivered.load());
    EXPECT_EQ(0, listener.getPort());
    // Stopping reports nothing, even with datagrams in flight.
    EXPECT_TRUE(recorder.errors().empty());
}

TEST_F(UdpListenerTest, DestructorStopsAListenerThatIsStillListening) {
    std::atomic<int> delivered{0};
    auto listener = std::make_unique<UDPListener>(
        LOOPBACK, 0, 72,
        [&](boost::shared_array<std::uint8_t>, std::size_t) {
            ++delivered;
            return true;
        },
        recorder.errorCallback(), recorder.warningCallback());
    listener->beginListening();
    Sender sender(LOOPBACK);
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (delivered == 0 && std::chrono::steady_clock::now() < deadline)
        sender.send(listener->getPort(), "x");
    listener.reset(); // joins: nothing of it runs any more
    const int deliveredAtEnd = delivered;
    EXPECT_GE(deliveredAtEnd, 1);
    EXPECT_EQ(deliveredAtEnd, delivered.load());
    EXPECT_TRUE(recorder.errors().empty());
}

TEST_F(UdpListenerTest, BeginListeningTwiceEndsTheFirstCycle) {
    auto listener = makeListener(0);
    listener->beginListening();
    listener->beginListening();
    ASSERT_NE(0, listener->getPort());
    Sender(LOOPBACK).send(listener->getPort(), "x");
    ASSERT_TRUE(recorder.waitForDatagrams(1));
    listener->stopListening();
    EXPECT_TRUE(recorder.errors().empty());
}

TEST_F(UdpListenerTest, StopWithoutStartAndTwiceIsHarmless) {
    auto listener = makeListener(0);
    listener->stopListening();
    listener->beginListening();
    listener->stopListening();
    listener->stopListening();
    EXPECT_EQ(0, listener->getPort());
    EXPECT_TRUE(recorder.errors().empty());
}

// --- Failures ----------------------------------------------------------------------

TEST_F(UdpListenerTest, CallbackThatThrowsEndsReceptionWithOneEmptyError) {
    std::atomic<int> calls{0};
    UDPListener listener(
        LOOPBACK, 0, 72,
        [&](boost::shared_array<std::uint8_t>, std::size_t) -> bool {
            ++calls;
            throw std::runtime_error("parser failed");
        },
        recorder.errorCallback(), recorder.warningCallback());
    listener.beginListening();
    Sender sender(LOOPBACK);
    sender.send(listener.getPort(), "one");
    sender.send(listener.getPort(), "two");
    ASSERT_TRUE(recorder.waitForErrors(1));
    // "two" was queued before "one" was handled; it must not be delivered.
    EXPECT_FALSE(recorder.waitForErrors(2, 300ms));
    listener.stopListening();

    EXPECT_EQ(1, calls.load());
    ASSERT_EQ(1u, recorder.errors().size());
    EXPECT_EQ("", recorder.errors()[0].id);
    EXPECT_EQ("", recorder.errors()[0].text);

    // The next cycle receives again.
    listener.beginListening();
    sender.send(listener.getPort(), "three");
    ASSERT_TRUE(recorder.waitForErrors(2));
    listener.stopListening();
    EXPECT_EQ(2, calls.load());
}

TEST_F(UdpListenerTest, CallbackThatThrowsSomethingElseIsHandledAlike) {
    UDPListener listener(
        LOOPBACK, 0, 72, [](boost::shared_array<std::uint8_t>, std::size_t) -> bool { throw 42; },
        recorder.errorCallback(), recorder.warningCallback());
    listener.beginListening();
    Sender(LOOPBACK).send(listener.getPort(), "one");
    ASSERT_TRUE(recorder.waitForErrors(1));
    listener.stopListening();
    EXPECT_EQ(1u, recorder.errors().size());
}

// --- Addresses ---------------------------------------------------------------------

TEST_F(UdpListenerTest, LocalAddressIsFoundWithTheFirstDatagram) {
    auto listener = makeListener(0, 72, "");
    EXPECT_EQ("", listener->getLocalIPAddress());
    EXPECT_EQ("", listener->getDeviceIPAddress());
    listener->beginListening();
    Sender(LOOPBACK).send(listener->getPort(), "x");
    ASSERT_TRUE(recorder.waitForDatagrams(1));
    EXPECT_EQ(LOOPBACK, listener->getLocalIPAddress());
    EXPECT_EQ(LOOPBACK, listener->getDeviceIPAddress());
    listener->stopListening();

    // Later cycles bind to that address, and keep reporting it.
    listener->beginListening();
    ASSERT_NE(0, listener->getPort());
    EXPECT_FALSE(canBind(LOOPBACK, listener->getPort()));
    Sender(LOOPBACK).send(listener->getPort(), "y");
    ASSERT_TRUE(recorder.waitForDatagrams(2));
    listener->stopListening();
    EXPECT_EQ(LOOPBACK, listener->getLocalIPAddress());
    EXPECT_TRUE(recorder.errors().empty());
}

TEST_F(UdpListenerTest, ConstructorAddressIsReportedUntilTheFirstDatagram) {
    auto listener = makeListener(0, 72, LOOPBACK);
    EXPECT_EQ(LOOPBACK, listener->getLocalIPAddress());
    listener->beginListening();
    EXPECT_EQ(LOOPBACK, listener->getLocalIPAddress());
    listener->stopListening();
}

// Makes local-address discovery fail while alive, as for a sender the routing table
// cannot reach back.
class FailingDiscovery {
public:
    FailingDiscovery() : previous_(mobilesensor::setLocalAddressDiscovery(&fail)) {}
    ~FailingDiscovery() { mobilesensor::setLocalAddressDiscovery(previous_); }
    FailingDiscovery(const FailingDiscovery&) = delete;
    FailingDiscovery& operator=(const FailingDiscovery&) = delete;

private:
    static std::string fail(boost::asio::io_context&, const boost::asio::ip::udp::endpoint&) {
        throw std::runtime_error("no route");
    }
    mobilesensor::LocalAddressDiscovery previous_;
};

TEST_F(UdpListenerTest, UncertainLocalAddressStillDeliversAndLaterCyclesBind) {
    const FailingDiscovery failing;
    auto listener = makeListener(0, 72, LOOPBACK);
    listener->beginListening();
    Sender sender(LOOPBACK);
    sender.send(listener->getPort(), "first");
    ASSERT_TRUE(recorder.waitForDatagrams(1));
    EXPECT_EQ("Uncertain", listener->getLocalIPAddress());
    EXPECT_EQ(LOOPBACK, listener->getDeviceIPAddress());
    listener->stopListening();

    // The next cycle binds to the constructor's address and receives.
    beginSearchingCycle(*listener);
    sender.send(listener->getPort(), "second");
    ASSERT_TRUE(recorder.waitForDatagrams(2));
    listener->stopListening();
    EXPECT_EQ("Uncertain", listener->getLocalIPAddress());
    EXPECT_TRUE(recorder.errors().empty());
}

TEST_F(UdpListenerTest, WarningCallbackIsNeverCalled) {
    auto listener = makeListener(0);
    listener->beginListening();
    Sender(LOOPBACK).send(listener->getPort(), "x");
    ASSERT_TRUE(recorder.waitForDatagrams(1));
    listener->stopListening();
    EXPECT_EQ(0u, recorder.warningCount());
}

// A device binds its members as the callbacks.
class BoundDevice {
public:
    bool onDatagram(boost::shared_array<std::uint8_t> data, std::size_t length) {
        const std::lock_guard<std::mutex> lock(mutex_);
        received_.assign(reinterpret_cast<const char*>(data.get()), length);
        changed_.notify_all();
        return true;
    }
    void errorFcn(const std::string&, const std::string&) {}
    void warnFcn(const std::string&, const std::string&) {}
    bool waitFor(const std::string& text) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, 10s, [&] { return received_ == text; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::string received_;
};

TEST(UdpListenerCallbacks, AcceptMembersBoundWithBoostBind) {
    using namespace boost::placeholders;
    BoundDevice device;
    UDPListener listener(LOOPBACK, 0, 72, boost::bind(&BoundDevice::onDatagram, &device, _1, _2),
                         boost::bind(&BoundDevice::errorFcn, &device, _1, _2),
                         boost::bind(&BoundDevice::warnFcn, &device, _1, _2));
    listener.beginListening();
    Sender(LOOPBACK).send(listener.getPort(), "bound");
    EXPECT_TRUE(device.waitFor("bound"));
    listener.stopListening();
}

TEST(LocalAddressDiscovery, FindsTheLoopbackAddressForALoopbackSender) {
    boost::asio::io_context io;
    const boost::asio::ip::udp::endpoint sender(boost::asio::ip::make_address(LOOPBACK), 50000);
    EXPECT_EQ(LOOPBACK, mobilesensor::discoverLocalAddress(io, sender));
}

} // namespace
