#pragma once

#include <cstddef>
#include <cstdint>
#include <sys/types.h>

// A sender process that paces 40-byte datagrams to 127.0.0.1 on request. It is
// forked before the benchmark starts any thread and then takes orders through a
// pipe, so the child never runs in the copy of a threaded process.
//
// Datagram layout (40 bytes, little-endian as the host writes it):
//   0  uint32 trial     the order's trial number
//   4  uint32 sequence  0, 1, 2, ... within the trial
//   8  int64  sentAt    CLOCK_MONOTONIC in ns, read just before the send
//   16 double x, y, z   a reading, as the second sensor app sends accelerations

namespace kinelink_bench {

constexpr std::size_t DATAGRAM_SIZE = 40;

struct SendOrder {
    std::uint32_t trial;
    std::uint16_t port;
    std::uint64_t rate;  // datagrams per second
    std::uint64_t count; // datagrams to send
};

struct SendResult {
    std::uint64_t sent;
    std::uint64_t failed;    // sends the system refused
    std::int64_t maxLateNs;  // the furthest any send fell behind its schedule
    std::int64_t durationNs; // scheduled start to last send
};

class PacedSender {
public:
    PacedSender();  // forks the sender process
    ~PacedSender(); // ends it and waits for it
    PacedSender(const PacedSender&) = delete;
    PacedSender& operator=(const PacedSender&) = delete;

    // Sends as ordered and returns when the last datagram has gone.
    SendResult send(const SendOrder& order);

private:
    pid_t child_ = -1;
    int orders_ = -1;  // write end, parent
    int results_ = -1; // read end, parent
};

// CLOCK_MONOTONIC in ns (the clock of sentAt).
std::int64_t monotonicNs();

} // namespace kinelink_bench
