#pragma once

// Readings on their way to a broker: the output thread fills a batch with each
// reading's payload (its JSON object), its phone and its measurement, and hands
// the whole batch to a publisher at once. A batch keeps every payload in one text,
// so filling it allocates nothing once it has grown, and a publisher hands back an
// emptied batch for the next round.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sensorstream {

struct OutgoingReading {
    std::uint32_t offset = 0; // of the payload in the batch's text
    std::uint32_t length = 0;
    std::uint16_t phone = 0; // the phone's place in the run's list of phones
    std::int32_t measurement = 0;
};

class OutgoingBatch {
public:
    void add(std::size_t phone, std::int32_t measurement, std::string_view payload);
    void clear();
    // Keeps the first count readings.
    void truncate(std::size_t count);

    std::size_t size() const { return readings.size(); }
    bool empty() const { return readings.empty(); }
    const OutgoingReading& operator[](std::size_t index) const { return readings[index]; }
    std::string_view payload(const OutgoingReading& reading) const {
        return std::string_view(text).substr(reading.offset, reading.length);
    }

private:
    std::string text;
    std::vector<OutgoingReading> readings;
};

// Where the connection to the broker stands.
enum class BrokerState {
    Connecting, // a connection is being made
    Connected,  // readings go out
    Waiting,    // the connection failed or was lost; another attempt follows
    Refused,    // the broker refused this client (user, password, client id); tried again
};

// A phone's readings on the broker's side of the run.
struct PhonePublishing {
    std::uint64_t published = 0;  // confirmed by the broker (QoS 1) or written to it (QoS 0)
    std::uint64_t overflowed = 0; // found the queue full: never published
    std::uint64_t failed = 0;     // the client library would not take them
    std::uint64_t unsent = 0;     // still waiting when the run ended
};

struct PublisherStatus {
    BrokerState state = BrokerState::Connecting;
    std::string address;      // "127.0.0.1:1883"
    std::string problem;      // why it is Waiting or Refused
    std::size_t waiting = 0;  // readings queued, sent or not, not yet confirmed
    std::size_t inFlight = 0; // of those, sent on this connection and awaiting confirmation
    std::vector<PhonePublishing> phones;
};

// A broker publisher as the output thread and the main loop see it.
class ReadingPublisher {
public:
    virtual ~ReadingPublisher() = default;

    // Output thread: takes the batch's readings (leaving the batch empty); those
    // that find the queue full are counted and dropped. Never waits for the network.
    virtual void post(OutgoingBatch& batch) = 0;
    // Any thread.
    virtual PublisherStatus status() const = 0;
    // Main thread: what happened to the connection since the last call, as lines
    // for the user ("connected to 127.0.0.1:1883").
    virtual std::vector<std::string> news() = 0;
    // Main thread, after the last post: lets the queue empty while the broker keeps
    // confirming, giving up after patience without progress; what is left counts as
    // unsent. Returns the final status.
    virtual PublisherStatus finish(std::chrono::milliseconds patience) = 0;
};

} // namespace sensorstream
