#pragma once

#include "kinelink_export.h"

#include <cstdint>

// Totals that kinelink keeps for the whole process, over every listener and every
// sample buffer, so that a test (or a diagnostic) can account for each datagram
// and each buffer. They only grow, from the moment kinelink is loaded: compare two
// readings. Any thread.

namespace mobilesensor {

struct KinelinkCounts {
    // Datagrams read from the listeners' sockets.
    std::uint64_t datagramsReceived = 0;
    // Of those, dropped because a sender other than the accepted one sent them.
    std::uint64_t datagramsFromOtherSenders = 0;
    // Of those, handed to a data callback.
    std::uint64_t datagramsDelivered = 0;
    // Datagrams the operating system dropped before a listener could read them (the
    // socket's receive queue was full), taken from each socket's own counter as the
    // socket closes. Linux only; 0 elsewhere.
    std::uint64_t datagramsDroppedBySystem = 0;
    // Sample buffers (sample_buffers.h) constructed and destroyed.
    std::uint64_t sampleBuffersCreated = 0;
    std::uint64_t sampleBuffersDestroyed = 0;
};

KINELINK_EXPORT KinelinkCounts getKinelinkCounts();

} // namespace mobilesensor
