#pragma once

#include "kinelink_export.h"

#include <cstdint>
#include <vector>

// What became of the datagrams that reached one local UDP port: totals over every
// listener of this process that has bound the port since kinelink was loaded, the
// running ones and the closed ones alike, so that a program can still read them
// after its devices have closed. The totals only grow: compare two readings.

namespace mobilesensor {

struct DatagramAccounting {
    // The local port the totals are for.
    std::uint16_t port = 0;
    // Datagrams read from the port's sockets.
    std::uint64_t received = 0;
    // Of those, dropped because a sender other than the accepted one sent them.
    std::uint64_t fromOtherSenders = 0;
    // Of those, handed to the device (its data callback).
    std::uint64_t delivered = 0;
    // Of those delivered, the ones the device's parser rejected: not a reading of its
    // app (malformed, of an unknown kind, of the wrong length).
    std::uint64_t malformed = 0;
    // Datagrams the operating system dropped before a listener could read them (the
    // socket's receive queue was full), read live from each open socket's own counter.
    // Linux; 0 elsewhere.
    std::uint64_t droppedBySystem = 0;
};

// The totals for port; all zero for a port no listener has bound. Any thread.
KINELINK_EXPORT DatagramAccounting datagramAccountingForPort(std::uint16_t port);

// The totals of every port a listener has bound, in the order of the ports: what a
// program with several devices, or one that does not know their ports, adds up.
// Any thread.
KINELINK_EXPORT std::vector<DatagramAccounting> datagramAccountingForEveryPort();

// What was added to a port's totals between an earlier reading and a later one.
inline DatagramAccounting operator-(const DatagramAccounting& later,
                                    const DatagramAccounting& earlier) {
    DatagramAccounting added;
    added.port = later.port;
    added.received = later.received - earlier.received;
    added.fromOtherSenders = later.fromOtherSenders - earlier.fromOtherSenders;
    added.delivered = later.delivered - earlier.delivered;
    added.malformed = later.malformed - earlier.malformed;
    added.droppedBySystem = later.droppedBySystem - earlier.droppedBySystem;
    return added;
}

} // namespace mobilesensor
