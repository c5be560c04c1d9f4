#pragma once

#include <cstdint>

// Internal to kinelink: where the listener and the sample buffers record each
// datagram and each buffer, adding to the totals that getKinelinkCounts reads
// (kinelink_counts.h).

namespace mobilesensor::counters {

void datagramReceived();
void datagramFromOtherSender();
void datagramDelivered();
void datagramRejected();
void datagramsDroppedBySystem(std::uint64_t count);
void sampleBufferCreated();
void sampleBufferDestroyed();

} // namespace mobilesensor::counters
