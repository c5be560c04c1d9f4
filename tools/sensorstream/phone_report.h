#pragma once

// What a run of several phones (or one) says about them, and about the broker the
// readings are published to: the lines of the status block while it runs, and the
// summary at the end that accounts for every phone's readings.

#include "outgoing_batch.h"
#include "reading_stats.h"

#include <cstdint>
#include <string>
#include <vector>

namespace sensorstream {

// A phone on the status block.
struct PhoneState {
    std::string name;
    std::uint16_t port = 0; // its device's
    MeasurementCounts counts{};
    MeasurementRates rates{};
};

// "mqtt to 127.0.0.1:1883: connected, 12 waiting", "mqtt to 127.0.0.1:1883: down
// (Connection refused), 1234 waiting, 56 overflowed".
std::string brokerStatusText(const PublisherStatus& broker);

// The status block. One phone: one line, as statusLine gives it, then the broker's
// status. Several: the time, the readings of all and the broker's status on the
// first line, then a line a phone: its name, readings and rates (or that it is
// waited for on its port) and what of its readings overflowed the broker's queue.
// broker: null without one.
std::vector<std::string> statusLines(double seconds, const std::vector<PhoneState>& phones,
                                     const PublisherStatus* broker);

// A phone at the end of a run.
struct PhoneOutcome {
    std::string name;
    MeasurementCounts counts{};
    Accounting accounting;
};

// The summary. One phone: summaryText. Several: the readings of all, then for each
// phone its readings and its accounting, each line under the phone's name. Then,
// with a broker, a line a phone: its readings output against those published,
// overflowed, refused and left unsent.
std::string runSummary(double seconds, const std::vector<PhoneOutcome>& phones,
                       const PublisherStatus* broker);

// "mqtt to 127.0.0.1:1883: left: readings output 1845, published 1800, 40 overflowed
// the queue, 5 unsent at the end: 45 not published" (no phone name for one phone).
std::string brokerAccountingText(const PublisherStatus& broker, const std::string& phoneName,
                                 std::size_t phone, std::uint64_t output);

} // namespace sensorstream
