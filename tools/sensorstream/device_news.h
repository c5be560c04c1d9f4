#pragma once

// What the device posts while it runs, told to the user on standard error: its
// messages, and its property updates (the phone's address when the first datagram
// arrives, a new port).

#include "console.h"
#include "host/channel.h"
#include "sensor_session.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace sensorstream {

// "warning from kinedgram: KORVEX:...: text"; any type but a warning is an error.
std::string messageNews(const std::string& deviceName, const korvex::host::Message& message);

// What to say of a property the device posted, from its value as text and as a
// number; nothing for a port number the announcement already gave (or 0, no port).
std::optional<std::string> propertyNews(const std::string& name, const std::string& valueText,
                                        std::optional<double> valueNumber, std::uint16_t port);

class DeviceNews {
public:
    using Clock = std::chrono::steady_clock;

    // port: the port the device listens on, already announced. label: put before
    // every line, to tell the phones of a run apart ("left: "); empty for one.
    DeviceNews(Console& console, SensorSession& session, std::uint16_t port,
               std::string label = "");

    // Says what the device posted since the last call.
    void show();
    // When the device posted the phone's address (its first datagram), if it did.
    std::optional<Clock::time_point> firstDatagram() const { return datagramSeen; }

private:
    Console& console;
    SensorSession& session;
    std::uint16_t port;
    std::string label;
    std::optional<Clock::time_point> datagramSeen;
};

} // namespace sensorstream
