#pragma once

// One phone on the page: its sensor session (the device plug-in and kineconvert
// as the host wires them) and a pump thread that converts each reading and
// publishes the readings of about every PUBLISH_PERIOD as one message. The device's
// thread only queues buffers; converting, counting and publishing happen on the
// pump thread.

#include "outbox.h"
#include "tools/sensorstream/phone_spec.h"
#include "tools/sensorstream/reading_queue.h"
#include "tools/sensorstream/reading_stats.h"
#include "tools/sensorstream/sensor_session.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

namespace sensorview {

using Publish = std::function<void(OutMessage)>;

// Readings wait at most this long on the pump before they go out together.
constexpr auto PUBLISH_PERIOD = std::chrono::milliseconds(20);

class PhoneFeed {
public:
    // Loads the plug-ins and initialises the device (sensorstream::SensorSession).
    PhoneFeed(const sensorstream::PhoneSpec& phone, const std::string& bind);
    ~PhoneFeed(); // closes

    PhoneFeed(const PhoneFeed&) = delete;
    PhoneFeed& operator=(const PhoneFeed&) = delete;

    // Starts listening; returns the port. Buffers wait in the queue until start.
    std::uint16_t open();
    // Starts the pump, which publishes every message through publish.
    void start(Publish publish);
    // Stops listening; the pump publishes what is left and ends.
    void close();

    const sensorstream::PhoneSpec& phone() const { return spec; }
    std::uint16_t port() const { return boundPort; }
    sensorstream::SensorSession& session() { return sensors; }
    // Any thread.
    sensorstream::MeasurementCounts counts() const { return readingCounts.snapshot(); }
    std::uint64_t notConverted() const { return notConvertedCount.load(); }
    std::uint64_t written() const { return sensors.buffersWritten(); }

private:
    void pump(const Publish& publish);

    sensorstream::PhoneSpec spec;
    sensorstream::ReadingQueue queue; // before the session, whose channel writes into it
    sensorstream::SensorSession sensors;
    sensorstream::ReadingCounts readingCounts;
    std::atomic<std::uint64_t> notConvertedCount{0};
    std::uint16_t boundPort = 0;
    std::thread thread;
};

} // namespace sensorview
