#include "mobilesensor/datagram_tap.h"
#include "mobilesensor/udp_listener.h"
#include "udp_test_support.h"

#include <chrono>
#include <gtest/gtest.h>
#include <mutex>
#include <string>
#include <vector>

namespace {

using namespace kinelink_test;
using mobilesensor::TappedDatagram;
using mobilesensor::UDPListener;

double steadyNow() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// What the tap saw; the tap only records, the test asserts on its own thread.
struct TapLog {
    struct Entry {
        std::uint16_t port;
        std::string bytes;
        double arrival;
    };
    std::mutex mutex;
    std::vector<Entry> entries;

    void record(const TappedDatagram& datagram) {
        const std::lock_guard<std::mutex> lock(mutex);
        entries.push_back(
            {datagram.port,
             std::string(reinterpret_cast<const char*>(datagram.bytes), datagram.size),
             datagram.arrival});
    }
    std::vector<Entry> copy() {
        const std::lock_guard<std::mutex> lock(mutex);
        return entries;
    }
};

class DatagramTapTest : public ::testing::Test {
protected:
    void SetUp() override {
        PortHolder probe;
        port = probe.holdAny();
        probe.releaseAll();
        listener =
            std::make_unique<UDPListener>("127.0.0.1", port, 8, recorder.dataCallback(),
                                          recorder.errorCallback(), recorder.warningCallback());
    }
    void TearDown() override {
        listener->stopListening();
        mobilesensor::setDatagramTap({});
    }

    std::uint16_t port = 0;
    Recorder recorder;
    std::unique_ptr<UDPListener> listener;
};

TEST_F(DatagramTapTest, SeesEveryAcceptedDatagramWholeInOrderWithItsArrival) {
    TapLog log;
    mobilesensor::setDatagramTap([&log](const TappedDatagram& d) { log.record(d); });
    listener->beginListening();
    ASSERT_EQ(port, listener->getPort());

    const double before = steadyNow();
    Sender phone("127.0.0.1");
    // Longer than the listener's receive size (8): the tap gets the datagram whole,
    // the device its first 8 bytes.
    const std::vector<std::string> sent = {"A,1,0,9.81", std::string("\0\xff\x01", 3),
                                           std::string(3000, 'x'), "N"};
    for (const auto& bytes : sent)
        phone.send(port, bytes);
    ASSERT_TRUE(recorder.waitForDatagrams(sent.size()));
    const double after = steadyNow();
    listener->stopListening();

    const auto tapped = log.copy();
    ASSERT_EQ(sent.size(), tapped.size());
    for (std::size_t i = 0; i < sent.size(); ++i) {
        EXPECT_EQ(sent[i], tapped[i].bytes) << i;
        EXPECT_EQ(port, tapped[i].port);
        // Read on the clock a program reads, between the sending and the delivery.
        EXPECT_LE(before, tapped[i].arrival);
        EXPECT_GE(after, tapped[i].arrival);
        if (i > 0) {
            EXPECT_LE(tapped[i - 1].arrival, tapped[i].arrival);
        }
    }
    EXPECT_EQ(sent[2].substr(0, 8), recorder.datagrams()[2].bytes);
}

TEST_F(DatagramTapTest, SkipsSecondSenders) {
    if (!secondLoopbackKeepsItsAddress())
        GTEST_SKIP() << "a socket bound to 127.0.0.2 sends from 127.0.0.1 here";
    TapLog log;
    mobilesensor::setDatagramTap([&log](const TappedDatagram& d) { log.record(d); });
    listener->beginListening();
    Sender phone("127.0.0.1");
    Sender other("127.0.0.2");
    phone.send(port, "first");
    ASSERT_TRUE(recorder.waitForDatagrams(1));
    other.send(port, "other");
    phone.send(port, "second");
    ASSERT_TRUE(recorder.waitForDatagrams(2));
    listener->stopListening();

    const auto tapped = log.copy();
    ASSERT_EQ(2u, tapped.size());
    EXPECT_EQ("first", tapped[0].bytes);
    EXPECT_EQ("second", tapped[1].bytes);
}

TEST_F(DatagramTapTest, NoCallOnceRemovedAndAThrowingTapCostsTheDeviceNothing) {
    TapLog log;
    mobilesensor::setDatagramTap([&log](const TappedDatagram& d) {
        log.record(d);
        throw std::runtime_error("the tap's own failure");
    });
    listener->beginListening();
    Sender phone("127.0.0.1");
    phone.send(port, "one");
    ASSERT_TRUE(recorder.waitForDatagrams(1));
    EXPECT_EQ(1u, log.copy().size());

    mobilesensor::setDatagramTap({});
    phone.send(port, "two");
    phone.send(port, "three");
    // The device still gets everything; the removed tap nothing more.
    ASSERT_TRUE(recorder.waitForDatagrams(3));
    EXPECT_EQ(1u, log.copy().size());
    EXPECT_TRUE(recorder.errors().empty());
}

} // namespace
