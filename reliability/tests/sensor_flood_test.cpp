#include "host/channel.h"
#include "host/plugin_loader.h"
#include "host/property_list.h"
#include "mobilesensor/device/testing/plugin_session.h"
#include "mobilesensor/device/testing/udp_probe.h"
#include "mobilesensor/kinelink_counts.h"
#include "reliability/buffer_ledger.h"
#include "reliability/counts_since.h"
#include "reliability/load_scale.h"
#include "reliability/loopback_sender.h"
#include "reliability/process_usage.h"
#include "reliability/sensor_apps.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <gtest/gtest.h>
#include <iostream>
#include <memory>
#include <thread>
#include <vector>

// Floods of datagrams from three senders (127.0.0.1, the accepted one, and
// 127.0.0.2 and 127.0.0.3) into the loaded sensor devices while they open and
// close, and while they are terminated. Every datagram is accounted for:
//   sent = delivered + dropped as from another sender + dropped as malformed
//          + dropped by the system (the socket's queue was full),
// only the first sender's readings arrive, in order, none after close returns,
// and every buffer is released exactly once.

namespace {

using korvex::host::Options;
using mobilesensor::getKinelinkCounts;
using mobilesensor::KinelinkCounts;
using mobilesensor::testing::PluginSession;
using mobilesensor::testing::waitUntil;
using reliability::BufferLedger;
using reliability::countsSince;
using reliability::LoopbackSender;
using reliability::SensorApp;
using reliability::Tag;

constexpr std::chrono::seconds DRAIN_WAIT{30};

// Three senders; sender 1 (index 0) is the one the device accepts. Every tenth
// datagram of sender 1 is malformed.
class SenderGroup {
public:
    explicit SenderGroup(const SensorApp& sensorApp) : app(sensorApp) {
        for (std::size_t i = 0; i < 3; ++i)
            senders[i] = std::make_unique<LoopbackSender>("127.0.0." + std::to_string(i + 1));
    }

    // Sends count datagrams from sender (0, 1, 2) to port.
    void send(std::size_t sender, std::uint16_t port, std::uint64_t count, std::uint32_t cycle) {
        std::uint8_t bytes[reliability::MAX_TEST_DATAGRAM];
        for (std::uint64_t i = 0; i < count; ++i)
            sendOne(sender, port, cycle, bytes);
    }
    // Sends from sender until stop is set.
    void sendUntil(std::size_t sender, const std::atomic<std::uint16_t>& port,
                   const std::atomic<bool>& stop) {
        std::uint8_t bytes[reliability::MAX_TEST_DATAGRAM];
        while (!stop)
            sendOne(sender, port, 0, bytes);
    }

    std::uint64_t sent() const {
        return senders[0]->sent() + senders[1]->sent() + senders[2]->sent();
    }
    std::uint64_t sent(std::size_t sender) const { return senders[sender]->sent(); }
    std::uint64_t malformedSent() const { return malformed; }
    std::uint64_t failedSends() const { return failed; }

private:
    void sendOne(std::size_t sender, std::uint16_t port, std::uint32_t cycle, std::uint8_t* bytes) {
        const std::uint64_t sequence = sequences[sender]++;
        const bool bad = sender == 0 && sequence % 10 == 9;
        const std::size_t size =
            bad ? app.writeMalformed(sequence, bytes)
                : app.writeReading(Tag{static_cast<std::uint32_t>(sender + 1), sequence, cycle},
                                   bytes);
        if (!senders[sender]->send(port, bytes, size))
            ++failed;
        else if (bad)
            ++malformed;
    }

    const SensorApp& app;
    std::array<std::unique_ptr<LoopbackSender>, 3> senders;
    std::array<std::uint64_t, 3> sequences{}; // each touched by its own thread only
    std::atomic<std::uint64_t> malformed{0};
    std::atomic<std::uint64_t> failed{0};
};

class SensorFlood : public testing::TestWithParam<SensorApp> {};

// The devices listen on a port the system picked as free ("PortNumber"), not on
// the first ports of their search: the floods go on after close and term, and other
// test programs on a shared machine (other checkouts) open devices on those first
// ports, where a flood would reach them first and become their accepted sender.
double portOfTheSystemsChoice() {
    return static_cast<double>(mobilesensor::testing::findFreePort());
}

// Sender 1 reaches the device first, so that it is the sender the device accepts.
void acceptFirstSender(SenderGroup& senders, BufferLedger& ledger, std::uint16_t port) {
    senders.send(0, port, 1, 0);
    ASSERT_TRUE(waitUntil([&] { return ledger.totals().buffers >= 1; }));
}

TEST_P(SensorFlood, MillionDatagramsFromThreeSendersAreAccountedAcrossOpenAndClose) {
    const SensorApp& app = GetParam();
    PluginSession session(app.plugin);
    BufferLedger ledger(session.channel);
    session.initWithPort(portOfTheSystemsChoice());
    SenderGroup senders(app);
    const KinelinkCounts before = getKinelinkCounts();

    // 20 cycles x 3 senders x 16,667 datagrams: just over a million in all. In
    // every other cycle the host stalls while the senders send, and the socket's
    // queue overflows.
    constexpr std::uint32_t CYCLES = 20;
    const std::uint64_t perSender = reliability::scaled(16667);
    std::uint64_t systemDrops = 0;
    for (std::uint32_t cycle = 0; cycle < CYCLES; ++cycle) {
        const std::uint16_t port = session.open();
        ASSERT_NE(0, port);
        ledger.setClosed(false);
        if (cycle == 0)
            acceptFirstSender(senders, ledger, port);
        const bool stall = cycle % 2 == 1;
        if (stall)
            ledger.hold();
        std::vector<std::thread> threads;
        for (std::size_t s = 0; s < 3; ++s)
            threads.emplace_back([&, s] { senders.send(s, port, perSender, cycle); });
        for (std::thread& thread : threads)
            thread.join();
        if (stall)
            ledger.release();

        // Close only once every datagram sent is read or dropped by the system, so
        // that none is lost uncounted in the socket's queue as it closes.
        std::uint64_t socketDrops = 0;
        ASSERT_TRUE(waitUntil(
            [&] {
                socketDrops = reliability::udpSocketDrops(port).value_or(0);
                return countsSince(before).datagramsReceived + systemDrops + socketDrops ==
                       senders.sent();
            },
            DRAIN_WAIT))
            << "cycle " << cycle << ": " << reliability::toText(countsSince(before))
            << ", on the socket " << socketDrops << "; sent " << senders.sent();
        session.close();
        ledger.setClosed(true);
        systemDrops += socketDrops;
        // kinelink took the socket's drop count as it closed the socket.
        ASSERT_EQ(systemDrops, countsSince(before).datagramsDroppedBySystem) << "cycle " << cycle;
        session.channel.clearRecords();
    }

    const KinelinkCounts counts = countsSince(before);
    const BufferLedger::Totals delivered = ledger.totals();
    // A datagram handed to the device that made no buffer was dropped as malformed.
    const std::uint64_t malformed = counts.datagramsDelivered - delivered.buffers;
    const std::uint64_t sent = senders.sent();
    std::cout << app.name << " flood: sent " << sent << " (" << senders.sent(0) << ", "
              << senders.sent(1) << ", " << senders.sent(2) << " by senders 1, 2, 3; "
              << senders.malformedSent() << " malformed; " << senders.failedSends()
              << " sends refused), delivered " << delivered.buffers
              << "; dropped: as from another sender " << counts.datagramsFromOtherSenders
              << ", as malformed " << malformed << ", by the system "
              << counts.datagramsDroppedBySystem << std::endl;

    EXPECT_GE(sent, reliability::scaled(1000000));
    EXPECT_EQ(sent, delivered.buffers + counts.datagramsFromOtherSenders + malformed +
                        counts.datagramsDroppedBySystem);
    EXPECT_EQ(counts.datagramsReceived,
              counts.datagramsDelivered + counts.datagramsFromOtherSenders);
    // The device answered false for each of those, and for nothing else.
    EXPECT_EQ(malformed, counts.datagramsRejected);
    EXPECT_LE(malformed, senders.malformedSent());
    EXPECT_GT(delivered.buffers, 0u);
    // Only sender 1's readings, in the order sent, none while closed.
    EXPECT_EQ(0u, delivered.foreignSender);
    EXPECT_EQ(0u, delivered.untagged);
    EXPECT_EQ(0u, delivered.outOfOrder);
    EXPECT_EQ(0u, delivered.afterClose);
    // Every buffer made reached the channel and was released exactly once.
    EXPECT_EQ(delivered.buffers, counts.sampleBuffersCreated);
    EXPECT_EQ(counts.sampleBuffersCreated, counts.sampleBuffersDestroyed);
    EXPECT_EQ(delivered.buffers, session.channel.acceptedCount());
    EXPECT_TRUE(session.channel.messages().empty());
}

TEST_P(SensorFlood, OpenAndCloseUnderAContinuousFloodDeliverNothingAfterClose) {
    const SensorApp& app = GetParam();
    PluginSession session(app.plugin);
    BufferLedger ledger(session.channel);
    session.initWithPort(portOfTheSystemsChoice());
    SenderGroup senders(app);
    const KinelinkCounts before = getKinelinkCounts();

    std::uint16_t port = session.open();
    ASSERT_NE(0, port);
    acceptFirstSender(senders, ledger, port);
    std::atomic<std::uint16_t> target{port};
    std::atomic<bool> stop{false};
    std::vector<std::thread> threads;
    for (std::size_t s = 0; s < 3; ++s)
        threads.emplace_back([&, s] { senders.sendUntil(s, target, stop); });

    const int cycles = static_cast<int>(reliability::scaled(50));
    for (int cycle = 0; cycle < cycles && !HasFailure(); ++cycle) {
        if (cycle != 0) {
            port = session.open();
            ASSERT_NE(0, port);
            target = port;
        }
        const std::uint64_t buffersBefore = ledger.totals().buffers;
        EXPECT_TRUE(waitUntil([&] { return ledger.totals().buffers >= buffersBefore + 100; }))
            << "cycle " << cycle << " delivered too little";
        session.close();
        ledger.setClosed(true);
        // Closed, while the flood goes on: nothing may reach the device any more.
        const std::uint64_t handed = countsSince(before).datagramsDelivered;
        const std::uint64_t sentAtClose = senders.sent();
        EXPECT_TRUE(waitUntil([&] { return senders.sent() >= sentAtClose + 3000; }));
        EXPECT_EQ(handed, countsSince(before).datagramsDelivered) << "cycle " << cycle;
        ledger.setClosed(false);
        session.channel.clearRecords();
    }
    stop = true;
    for (std::thread& thread : threads)
        thread.join();

    const KinelinkCounts counts = countsSince(before);
    const BufferLedger::Totals delivered = ledger.totals();
    const std::uint64_t malformed = counts.datagramsDelivered - delivered.buffers;
    const std::uint64_t sent = senders.sent();
    const std::uint64_t accounted = delivered.buffers + counts.datagramsFromOtherSenders +
                                    malformed + counts.datagramsDroppedBySystem;
    std::cout << app.name << " flood over " << cycles << " open/close cycles: sent " << sent
              << ", delivered " << delivered.buffers << "; dropped: as from another sender "
              << counts.datagramsFromOtherSenders << ", as malformed " << malformed
              << ", by the system " << counts.datagramsDroppedBySystem
              << "; sent while no socket was bound or left queued at close "
              << (sent >= accounted ? sent - accounted : 0) << std::endl;

    EXPECT_GE(sent, accounted);
    EXPECT_EQ(counts.datagramsReceived,
              counts.datagramsDelivered + counts.datagramsFromOtherSenders);
    // The device answered false for each of those, and for nothing else.
    EXPECT_EQ(malformed, counts.datagramsRejected);
    EXPECT_EQ(0u, delivered.foreignSender);
    EXPECT_EQ(0u, delivered.untagged);
    EXPECT_EQ(0u, delivered.outOfOrder);
    EXPECT_EQ(0u, delivered.afterClose);
    EXPECT_EQ(delivered.buffers, counts.sampleBuffersCreated);
    EXPECT_EQ(counts.sampleBuffersCreated, counts.sampleBuffersDestroyed);
    EXPECT_TRUE(session.channel.messages().empty());
}

TEST_P(SensorFlood, TermWhileDatagramsArriveStopsEverything) {
    const SensorApp& app = GetParam();
    const korvex::host::PluginLibrary library(korvex::host::pluginPath(app.plugin));
    LoopbackSender sender("127.0.0.1");
    // Counted after the first round: a runtime may start a thread of its own for the
    // first thread the process makes (ThreadSanitizer does).
    std::vector<reliability::ThreadInfo> threads;
    std::size_t files = 0;
    const KinelinkCounts before = getKinelinkCounts();
    std::uint64_t buffers = 0;

    const int rounds = static_cast<int>(reliability::scaled(20));
    for (int round = 0; round < rounds && !HasFailure(); ++round) {
        korvex::host::Channel channel;
        BufferLedger ledger(channel);
        korvex::host::PropertyListOwner published;
        korvex::host::DevicePtr device = library.createDevice(channel);
        Options options;
        options.set("PortNumber", portOfTheSystemsChoice());
        device->init(options, published.list());
        device->open(Options());
        const auto posted = channel.properties("PortNumber");
        ASSERT_EQ(1u, posted.size());
        const auto port = static_cast<std::uint16_t>(
            korvex::host::scalarValue<double>(posted.back().get()).value_or(0.0));
        ASSERT_NE(0, port);

        std::atomic<bool> stop{false};
        std::thread flood([&] {
            std::uint8_t bytes[reliability::MAX_TEST_DATAGRAM];
            for (std::uint64_t sequence = 0; !stop; ++sequence)
                sender.send(port, bytes, app.writeReading(Tag{1, sequence, 0}, bytes));
        });
        EXPECT_TRUE(waitUntil([&] { return ledger.totals().buffers >= 50; }))
            << "round " << round << ", port " << port << ": "
            << reliability::toText(countsSince(before));
        device.reset(); // term, with datagrams arriving
        ledger.setClosed(true);
        const std::uint64_t handed = countsSince(before).datagramsDelivered;
        const std::uint64_t sentAtTerm = sender.sent();
        EXPECT_TRUE(waitUntil([&] { return sender.sent() >= sentAtTerm + 2000; }));
        stop = true;
        flood.join();
        EXPECT_EQ(handed, countsSince(before).datagramsDelivered) << "round " << round;
        EXPECT_EQ(0u, ledger.totals().afterClose);
        EXPECT_EQ(0u, ledger.totals().outOfOrder);
        EXPECT_TRUE(channel.messages().empty());
        buffers += ledger.totals().buffers;
        if (round == 0) {
            threads = reliability::liveThreads();
            files = reliability::openFileCount();
        }
    }

    const KinelinkCounts counts = countsSince(before);
    EXPECT_EQ(buffers, counts.sampleBuffersCreated);
    EXPECT_EQ(counts.sampleBuffersCreated, counts.sampleBuffersDestroyed);
    const std::vector<reliability::ThreadInfo> threadsAfter = reliability::liveThreads();
    EXPECT_EQ(threads.size(), threadsAfter.size())
        << "after the first round: " << reliability::describe(threads)
        << "\nat the end: " << reliability::describe(threadsAfter);
    EXPECT_EQ(files, reliability::openFileCount());
}

std::string paramName(const testing::TestParamInfo<SensorApp>& param) { return param.param.name; }

INSTANTIATE_TEST_SUITE_P(SensorDevices, SensorFlood,
                         testing::Values(reliability::kinedgramApp(), reliability::kinescopeApp()),
                         paramName);

} // namespace
