#pragma once

// The hints sensorstream gives while it waits for readings, each at most once:
// when no datagram has arrived after --no-data-hint seconds, what to check on the
// phone, the network and the firewall; when datagrams arrive but none becomes a
// reading, that the app's format may not match --app.

#include "sensorstream_options.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sensorstream {

enum class WaitHint { NoDatagram, OtherFormat };

class WaitHints {
public:
    using Clock = std::chrono::steady_clock;
    // After the first datagram, how long to wait for a reading before suspecting --app.
    static constexpr Clock::duration OTHER_FORMAT_AFTER = std::chrono::seconds(3);

    // start: when the device began to listen. noDatagramAfter: seconds without a
    // datagram before that hint (0 or less: never).
    WaitHints(Clock::time_point start, double noDatagramAfter);

    // The hints due at now, none of them given before. firstDatagram: when the phone
    // was first heard, if it was; readingsCame: whether the device wrote a reading.
    std::vector<WaitHint> due(Clock::time_point now, std::optional<Clock::time_point> firstDatagram,
                              bool readingsCame);

private:
    Clock::time_point start;
    double noDatagramAfter;
    bool noDatagramGiven;
    bool otherFormatGiven = false;
};

// The text of a hint for a phone of these settings (its place in settings.phones)
// and the port its device listens on. With several phones it names the phone.
std::string hintText(WaitHint hint, const Settings& settings, std::size_t phone,
                     std::uint16_t port);

} // namespace sensorstream
