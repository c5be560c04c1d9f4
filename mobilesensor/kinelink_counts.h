#pragma once

#include <cstdint>

// Totals that kinelink keeps for the whole process, over every listener and every
// sample buffer, so that a test can account for each datagram and each buffer. They
// only grow, from the moment kinelink is loaded: compare two readings. Any thread.
// A test seam: the shipped library keeps it to itself (programs read a port's
// accounting, datagram_accounting.h); tests reach it through kinelink_static.

namespace mobilesensor {

struct KinelinkCounts {
    // Datagrams read from the listeners' sockets.
    std::uint64_t datagramsReceived = 0;
    // Of those, dropped because a sender other than the accepted one sent them.
    std::uint64_t datagramsFromOtherSenders = 0;
    // Of those, handed to a data callback.
    std::uint64_t datagramsDelivered = 0;
    // Of those, answered false by the data callback: the device dropped the
    // datagram as malformed (or its channel refused a buffer made of it).
    std::uint64_t datagramsRejected = 0;
    // Datagrams the operating system dropped before a listener could read them (the
    // socket's receive queue was full), taken from each socket's own counter as the
    // socket closes. Linux only; 0 elsewhere.
    std::uint64_t datagramsDroppedBySystem = 0;
    // Sample buffers (sample_buffers.h) constructed and destroyed.
    std::uint64_t sampleBuffersCreated = 0;
    std::uint64_t sampleBuffersDestroyed = 0;
};

KinelinkCounts getKinelinkCounts();

// What was counted between two readings of the counts.
inline KinelinkCounts operator-(const KinelinkCounts& later, const KinelinkCounts& earlier) {
    KinelinkCounts d;
    d.datagramsReceived = later.datagramsReceived - earlier.datagramsReceived;
    d.datagramsFromOtherSenders =
        later.datagramsFromOtherSenders - earlier.datagramsFromOtherSenders;
    d.datagramsDelivered = later.datagramsDelivered - earlier.datagramsDelivered;
    d.datagramsRejected = later.datagramsRejected - earlier.datagramsRejected;
    d.datagramsDroppedBySystem = later.datagramsDroppedBySystem - earlier.datagramsDroppedBySystem;
    d.sampleBuffersCreated = later.sampleBuffersCreated - earlier.sampleBuffersCreated;
    d.sampleBuffersDestroyed = later.sampleBuffersDestroyed - earlier.sampleBuffersDestroyed;
    return d;
}

} // namespace mobilesensor
