#include "sensor_exchange.h"

#include "sample_view.h"

#include <gtest/gtest.h>
#include <utility>

namespace mobilesensor::testing {

Bytes bytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }

SensorExchange::SensorExchange(SensorApp sensorApp)
    : app(std::move(sensorApp)), session(app.plugin) {}

std::uint16_t SensorExchange::initAndOpen() {
    session.initWithPort(findFreePort());
    const std::uint16_t port = session.open();
    EXPECT_NE(0, port);
    return port;
}

std::vector<korvex::host::BufferPtr> SensorExchange::exchange(std::uint16_t port,
                                                              const Bytes& datagram) {
    const double value = 1000000.0 + ++markers;
    sender.send(port, datagram);
    sender.send(port, app.marker(value));
    return session.collectUntil([this, value](const conduit::interfaces::IDataBuffer& buffer) {
        const Sample s = describe(buffer);
        return s.kind == app.markerKind && s.app == app.app && !s.values.empty() &&
               s.values[0] == value;
    });
}

std::vector<korvex::host::BufferPtr> SensorExchange::exchange(std::uint16_t port,
                                                              const std::string& text) {
    return exchange(port, bytesOf(text));
}

std::string SensorExchange::kinds(const std::vector<korvex::host::BufferPtr>& buffers) const {
    std::string letters;
    for (const Sample& s : describe(buffers))
        letters += s.app == app.app ? s.kind : '?';
    return letters;
}

} // namespace mobilesensor::testing
