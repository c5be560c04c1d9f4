#pragma once

#include "plugin_session.h"
#include "udp_probe.h"

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

// A sensor device plug-in loaded as the host loads it, fed real datagrams on
// loopback, with what its tests need to know of its app.

namespace mobilesensor::testing {

using Bytes = std::vector<std::uint8_t>;

// Text as the bytes of a datagram.
Bytes bytesOf(const std::string& text);

struct SensorApp {
    // The library, and the component that names its messages.
    std::string plugin;
    // The App value of its buffers.
    std::int32_t app = -1;
    // A reading that yields one buffer, of this kind (a letter of sample_view.h).
    Bytes reading;
    char readingKind = '?';
    // A datagram that is no reading.
    Bytes rejected;
    // Readings that yield two buffers; each is taken on a device that has seen no
    // other reading of its kind.
    std::vector<Bytes> twoBufferReadings;
    // A reading that yields one buffer of markerKind whose first value is value.
    std::function<Bytes(double value)> marker;
    char markerKind = '?';
};

inline std::ostream& operator<<(std::ostream& out, const SensorApp& app) {
    return out << app.plugin;
}

class SensorExchange {
public:
    explicit SensorExchange(SensorApp sensorApp);

    // init with a port the system found free (so that no other program's ports of
    // the search order matter), then open; the port posted (a failure is recorded
    // when it could not be bound).
    std::uint16_t initAndOpen();

    // Sends datagram to port, then a marker reading with a value of its own, and
    // returns the buffers that arrived before the marker's.
    std::vector<korvex::host::BufferPtr> exchange(std::uint16_t port, const Bytes& datagram);
    std::vector<korvex::host::BufferPtr> exchange(std::uint16_t port, const std::string& text);

    // The kinds of the buffers, one letter each; "?" for a buffer not from this app.
    std::string kinds(const std::vector<korvex::host::BufferPtr>& buffers) const;

    const SensorApp app;
    PluginSession session;
    DatagramSender sender;

private:
    int markers = 0;
};

} // namespace mobilesensor::testing
