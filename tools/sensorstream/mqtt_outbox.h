#pragma once

// The readings that wait for the broker: a bounded queue, in order, between the
// output thread, which posts a batch at a time, and the thread that talks to the
// broker, which sends them one by one and removes each only once the broker has
// confirmed it. A lost connection sends everything unconfirmed again, in order, on
// the next one. A reading that finds the queue full is not queued: it is counted
// as overflow of its phone, so that nothing is lost without a count.
//
// Threads: post from the output thread; the sending side from one network thread;
// the counts from any thread. One mutex, never held across a network call.

#include "outgoing_batch.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string_view>
#include <vector>

namespace sensorstream {

class MqttOutbox {
public:
    // capacity: readings queued at most (sent or not, until confirmed). Throws
    // std::invalid_argument for 0.
    MqttOutbox(std::size_t capacity, std::size_t phoneCount);

    MqttOutbox(const MqttOutbox&) = delete;
    MqttOutbox& operator=(const MqttOutbox&) = delete;

    // Output thread: queues as many of the batch's readings as there is room for,
    // oldest first, and counts the rest as overflow. The batch comes back empty,
    // with storage for the next round. Returns the readings queued.
    std::size_t post(OutgoingBatch& batch);

    // Network thread. The oldest reading not sent on this connection; its payload
    // stays valid until it is confirmed or abandoned.
    struct Unsent {
        std::uint16_t phone = 0;
        std::int32_t measurement = 0;
        std::string_view payload;
    };
    std::optional<Unsent> nextUnsent();
    // The reading nextUnsent gave went out with this message id.
    void sent(int messageId);
    // The client library refused the reading nextUnsent gave: counted as failed.
    void failed();
    // The broker confirmed the message (at QoS 0: it was written to the socket).
    // Ids that are not awaited are ignored.
    void confirmed(int messageId);
    // The connection is gone: every reading not confirmed goes again, in order.
    void sendAgain();
    // Readings sent on this connection and not yet confirmed.
    std::size_t awaitingConfirmation() const;

    // Counts every queued reading as unsent and empties the queue (the end).
    void abandon();

    // Any thread.
    std::size_t waiting() const; // queued, sent or not
    std::vector<PhonePublishing> counts() const;
    std::uint64_t confirmedTotal() const;

private:
    struct Sending {
        int messageId = 0;
        bool done = false;   // confirmed, or failed
        bool failed = false; // the library refused it
    };

    void settleFront(); // drops confirmed and failed readings off the front
    void dropFrontBatchIfDone();

    const std::size_t capacity;
    mutable std::mutex mutex;
    std::deque<OutgoingBatch> batches;   // guarded; the oldest first
    std::vector<OutgoingBatch> spares;   // guarded; emptied batches for the output thread
    std::size_t queued = 0;              // guarded; readings from the front on
    std::size_t front = 0;               // guarded; the first reading of batches[0] not done
    std::deque<Sending> sending;         // guarded; the readings from front on, as sent
    std::size_t sendBatch = 0;           // guarded; where the next reading to send is
    std::size_t sendIndex = 0;           // guarded
    std::vector<PhonePublishing> phones; // guarded
    std::uint64_t confirmedCount = 0;    // guarded
};

} // namespace sensorstream
