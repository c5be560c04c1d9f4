#include "kinelink_counts.h"

#include "count_recording.h"

#include <atomic>

namespace mobilesensor {

namespace {

// The service threads count datagrams and the host's threads destroy buffers: the
// counters each get a cache line of their own, so that they never slow each other.
struct alignas(64) Counter {
    std::atomic<std::uint64_t> value{0};

    void add(std::uint64_t count) { value.fetch_add(count, std::memory_order_relaxed); }
    std::uint64_t read() const { return value.load(std::memory_order_relaxed); }
};

Counter received;
Counter fromOtherSenders;
Counter delivered;
Counter rejected;
Counter droppedBySystem;
Counter buffersCreated;
Counter buffersDestroyed;

} // namespace

namespace counters {

void datagramReceived() { received.add(1); }
void datagramFromOtherSender() { fromOtherSenders.add(1); }
void datagramDelivered() { delivered.add(1); }
void datagramRejected() { rejected.add(1); }
void datagramsDroppedBySystem(std::uint64_t count) { droppedBySystem.add(count); }
void sampleBufferCreated() { buffersCreated.add(1); }
void sampleBufferDestroyed() { buffersDestroyed.add(1); }

} // namespace counters

KinelinkCounts getKinelinkCounts() {
    KinelinkCounts counts;
    counts.datagramsReceived = received.read();
    counts.datagramsFromOtherSenders = fromOtherSenders.read();
    counts.datagramsDelivered = delivered.read();
    counts.datagramsRejected = rejected.read();
    counts.datagramsDroppedBySystem = droppedBySystem.read();
    counts.sampleBuffersCreated = buffersCreated.read();
    counts.sampleBuffersDestroyed = buffersDestroyed.read();
    return counts;
}

} // namespace mobilesensor
