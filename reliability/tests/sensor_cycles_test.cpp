#include "mobilesensor/device/testing/plugin_session.h"
#include "mobilesensor/kinelink_counts.h"
#include "mobilesensor/port_search.h"
#include "reliability/buffer_ledger.h"
#include "reliability/counts_since.h"
#include "reliability/load_scale.h"
#include "reliability/loopback_sender.h"
#include "reliability/process_usage.h"
#include "reliability/sensor_apps.h"

#include <algorithm>
#include <cstdint>
#include <gtest/gtest.h>
#include <iostream>
#include <memory>
#include <netinet/in.h>
#include <set>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

// The loaded sensor devices over many open/close cycles and inits, which must
// leave no thread, socket or memory behind; and with every port of the search
// order taken, which must fail once, clearly, and recover.

namespace {

using korvex::host::Options;
using mobilesensor::KinelinkCounts;
using mobilesensor::testing::PluginSession;
using mobilesensor::testing::waitUntil;
using reliability::BufferLedger;
using reliability::SensorApp;

struct Usage {
    std::vector<reliability::ThreadInfo> threads; // those that have not begun to exit
    std::size_t files;
    std::size_t heap;
    std::size_t resident;
};

Usage usageNow() {
    return {reliability::liveThreads(), reliability::openFileCount(), reliability::heapBytesInUse(),
            reliability::residentBytes()};
}

// Growth of the heap (bytes allocated and not freed) that cycles may cause without
// leaking: allocator bookkeeping and containers that settled at a larger capacity.
constexpr std::size_t HEAP_TOLERANCE = 64 * 1024;
// Resident memory moves with the allocator's caches: only runaway growth counts.
constexpr std::size_t RESIDENT_TOLERANCE = 8 * 1024 * 1024;

void expectNoGrowth(const Usage& before, const Usage& after, const char* what) {
    EXPECT_EQ(before.threads.size(), after.threads.size())
        << what << ": before " << reliability::describe(before.threads) << "; after "
        << reliability::describe(after.threads);
    EXPECT_EQ(before.files, after.files) << what;
    EXPECT_LE(after.heap, before.heap + HEAP_TOLERANCE) << what;
    if (!KX_SANITIZED_BUILD) { // the sanitizers keep freed memory in quarantine
        EXPECT_LE(after.resident, before.resident + RESIDENT_TOLERANCE) << what;
    }
    std::cout << what << ": threads " << before.threads.size() << " -> " << after.threads.size()
              << ", open files " << before.files << " -> " << after.files << ", heap "
              << before.heap << " -> " << after.heap << " bytes, resident " << before.resident
              << " -> " << after.resident << " bytes" << std::endl;
}

class SensorCycles : public testing::TestWithParam<SensorApp> {
protected:
    // One open/close cycle; every probeEvery-th cycle also checks that a reading
    // arrives.
    void cycle(int index, int probeEvery) {
        const std::uint16_t port = session.open();
        ASSERT_NE(0, port) << "cycle " << index;
        if (index % probeEvery == 0) {
            std::uint8_t bytes[reliability::MAX_TEST_DATAGRAM];
            const std::uint64_t before = ledger.totals().buffers;
            const std::size_t size = GetParam().writeReading(
                reliability::Tag{1, sequence++, static_cast<std::uint32_t>(index)}, bytes);
            ASSERT_TRUE(sender.send(port, bytes, size));
            ASSERT_TRUE(waitUntil([&] { return ledger.totals().buffers > before; }))
                << "cycle " << index << ", port " << port << ": "
                << reliability::toText(reliability::countsSince(atStart));
        }
        session.close();
        // The host keeps nothing of what was posted; neither does this test.
        session.channel.clearRecords();
    }

    // For messages: a reading that does not arrive may have been taken for another
    // sender's.
    const KinelinkCounts atStart = mobilesensor::getKinelinkCounts();
    PluginSession session{GetParam().plugin};
    BufferLedger ledger{session.channel};
    reliability::LoopbackSender sender{"127.0.0.1"};
    std::uint64_t sequence = 0;
};

TEST_P(SensorCycles, ThousandOpenCloseCyclesAndHundredInitsLeaveNothingBehind) {
    session.init(Options());
    for (int i = 0; i < 20; ++i) // warm up: first-use allocations of every library
        cycle(i, 1);
    const KinelinkCounts counts = mobilesensor::getKinelinkCounts();
    const std::uint64_t buffersBefore = ledger.totals().buffers;
    const Usage start = usageNow();

    const int cycles = static_cast<int>(reliability::scaled(1000));
    for (int i = 0; i < cycles && !HasFailure(); ++i)
        cycle(i, 50);
    expectNoGrowth(start, usageNow(), "open/close cycles");

    const Usage beforeInits = usageNow();
    for (int i = 0; i < 100 && !HasFailure(); ++i) {
        session.init(Options());
        cycle(i, 10);
        session.published.clear();
    }
    expectNoGrowth(beforeInits, usageNow(), "inits");

    const KinelinkCounts d = reliability::countsSince(counts);
    // The counts are those of the kinelink the plug-in calls: every buffer the
    // ledger took was counted as it was made.
    EXPECT_GE(d.sampleBuffersCreated, ledger.totals().buffers - buffersBefore);
    EXPECT_GT(d.sampleBuffersCreated, 0u);
    EXPECT_EQ(d.sampleBuffersCreated, d.sampleBuffersDestroyed);
    EXPECT_EQ(0u, ledger.totals().afterClose);
    EXPECT_TRUE(session.channel.messages().empty());
}

// Sockets holding every port of the listener's search order that can be bound.
class SearchOrderHolder {
public:
    SearchOrderHolder() {
        bool sequential = false;
        for (std::uint16_t port = mobilesensor::getNextPortToTry(0, sequential); port != 0;
             port = mobilesensor::getNextPortToTry(port, sequential)) {
            if (!seen.insert(port).second)
                continue;
            if (!hold(port))
                takenByOthers.push_back(port);
        }
    }
    ~SearchOrderHolder() { releaseAll(); }
    SearchOrderHolder(const SearchOrderHolder&) = delete;
    SearchOrderHolder& operator=(const SearchOrderHolder&) = delete;

    void releaseAll() {
        for (const int socket : sockets)
            ::close(socket);
        sockets.clear();
    }

    std::size_t candidates() const { return seen.size(); }
    std::set<std::uint16_t> seen;
    std::vector<std::uint16_t> takenByOthers;

private:
    // On every address, as the listener binds when no address is asked for.
    bool hold(std::uint16_t port) {
        const int socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (socket < 0)
            return false;
        sockaddr_in any{};
        any.sin_family = AF_INET;
        any.sin_port = htons(port);
        any.sin_addr.s_addr = htonl(INADDR_ANY);
        if (::bind(socket, reinterpret_cast<const sockaddr*>(&any), sizeof any) != 0) {
            ::close(socket);
            return false;
        }
        sockets.push_back(socket);
        return true;
    }

    std::vector<int> sockets;
};

TEST_P(SensorCycles, EveryCandidatePortTakenFailsOnceAndPostsPortZero) {
    // One descriptor per port of the search order (16,384 of them).
    const std::size_t limit = reliability::raiseOpenFileLimit();
    if (limit < reliability::openFileCount() + 16384 + 256)
        GTEST_SKIP() << "the limit of " << limit << " open files is too low to hold every port";
    session.init(Options());

    auto holder = std::make_unique<SearchOrderHolder>();
    ASSERT_EQ(16384u, holder->candidates());
    if (holder->takenByOthers.size() > 1000)
        GTEST_SKIP() << holder->takenByOthers.size() << " ports are in use by other programs";
    std::cout << "holding " << holder->candidates() - holder->takenByOthers.size() << " of "
              << holder->candidates() << " candidate ports; the others are in use elsewhere"
              << std::endl;
    const std::uint16_t port = session.open();
    if (port != 0) {
        const bool freedMeanwhile =
            std::find(holder->takenByOthers.begin(), holder->takenByOthers.end(), port) !=
            holder->takenByOthers.end();
        if (freedMeanwhile)
            GTEST_SKIP() << "another program let go of port " << port << " during the test";
        FAIL() << "the device bound port " << port << ", which the test held";
    }
    const std::vector<korvex::host::Message> messages = session.channel.messages();
    ASSERT_EQ(1u, messages.size());
    EXPECT_EQ("error", messages[0].type);
    EXPECT_EQ("KORVEX:UDPListener:startUDPServer:unableToOpen", messages[0].id);
    EXPECT_EQ("Cannot start UDP server.", messages[0].text);
    EXPECT_EQ(std::vector<double>{0.0}, session.portPosts());
    session.close();
    EXPECT_EQ(1u, session.channel.messages().size()) << "close reported something";

    // With the ports free again, the next open works.
    holder.reset();
    session.channel.clearRecords();
    cycle(0, 1);
    EXPECT_TRUE(session.channel.messages().empty());
}

std::string paramName(const testing::TestParamInfo<SensorApp>& param) { return param.param.name; }

INSTANTIATE_TEST_SUITE_P(SensorDevices, SensorCycles,
                         testing::Values(reliability::kinedgramApp(), reliability::kinescopeApp()),
                         paramName);

} // namespace
