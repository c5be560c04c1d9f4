#pragma once

// The hand-over from the devices' threads to the output thread: the buffers every
// phone's device writes, each with the phone it came from, in batches
// (host/batch_queue.h). A full queue makes a device's thread wait rather than drop a
// reading, so the memory a slow output can take is bounded and nothing between the
// channels and the output is lost; the output thread is woken once per batch, not
// once per reading.

#include "host/batch_queue.h"
#include "host/channel.h"

#include <chrono>
#include <cstdint>

namespace sensorstream {

// A buffer a device wrote, and the place of its phone in the run's list of phones.
struct PhoneBuffer {
    korvex::host::BufferPtr buffer;
    std::uint16_t phone = 0;
    // When the device handed it over, on the device's thread within the delivery of
    // its datagram: seconds on the monotonic clock (tools/arrivals/monotonic_clock.h).
    double arrival = 0.0;
};

using ReadingQueue = korvex::host::BatchQueue<PhoneBuffer>;

// Room for a few seconds of every sensor of both apps at their fastest. A batch
// is gathered for at most 5 ms: the live view and the status line lag by no more,
// and even a slow phone's readings come a batch at a time.
inline korvex::host::BatchLimits readingQueueLimits() {
    korvex::host::BatchLimits limits;
    limits.capacity = 4096;
    limits.batch = 1024;
    limits.gather = std::chrono::milliseconds(5);
    return limits;
}

} // namespace sensorstream
