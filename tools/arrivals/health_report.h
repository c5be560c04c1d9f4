#pragma once

// The stream health of a whole run: one tracker per phone and measurement, the
// datagram accounting of each phone when the caller has it, a line per stream for
// summaries and status lines, and the JSON report that `--health FILE` writes.

#include "stream_health.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace arrivals {

// What became of a phone's datagrams on the way to its device.
struct DatagramAccounting {
    std::uint64_t delivered = 0;        // handed to the device
    std::uint64_t fromOtherSenders = 0; // dropped: not the accepted phone
    std::uint64_t malformed = 0;        // dropped by the device's parser
    std::uint64_t droppedBySystem = 0;  // the socket's queue was full
};

struct StreamReport {
    std::string measurement;
    SeriesHealth health;
};

struct PhoneReport {
    std::string phone;
    std::optional<DatagramAccounting> datagrams;
    std::vector<StreamReport> streams; // in the order their first readings came
};

// Feeds the trackers; one thread, or the caller's lock.
class HealthBoard {
public:
    explicit HealthBoard(GapRule rule = {});

    void arrived(const std::string& phone, const std::string& measurement, double time);
    void account(const std::string& phone, const DatagramAccounting& datagrams);

    // Phones in the order they first appeared; with now, ongoing silences too.
    std::vector<PhoneReport> report(std::optional<double> now = std::nullopt) const;
    const GapRule& gapRule() const { return rule; }

private:
    struct Phone {
        std::string name;
        std::optional<DatagramAccounting> datagrams;
        std::vector<std::pair<std::string, SeriesTracker>> streams;
    };
    Phone& phoneNamed(const std::string& name);

    const GapRule rule;
    std::vector<Phone> phones;
};

// "49.9/s, 2 gaps (longest 2.04 s)", "50.0/s, no gaps", "50.0/s, silent 3.2 s".
std::string healthText(const SeriesHealth& health);

// The report as a JSON document: the clock, the gap rule, and per phone its
// datagrams (when known) and per measurement the figures of SeriesHealth.
std::string healthJson(const std::vector<PhoneReport>& phones, const GapRule& rule);

} // namespace arrivals
