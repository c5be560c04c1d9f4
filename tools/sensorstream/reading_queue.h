#pragma once

// The hand-over from the device's thread to the output thread: a bounded queue of
// buffers. A full queue makes the writer wait rather than drop a reading, so the
// memory a slow output can take is bounded and nothing between the channel and
// the output is lost.

#include "host/channel.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

namespace sensorstream {

class ReadingQueue {
public:
    explicit ReadingQueue(std::size_t capacity);

    // Waits for room, then appends the buffer; true when it was queued. False only
    // once the queue is closed; the buffer is then released.
    bool push(korvex::host::BufferPtr buffer);

    // Moves every queued buffer, oldest first, to the end of out, waiting up to
    // timeout for the first. False when the queue is closed and empty.
    bool takeAll(std::vector<korvex::host::BufferPtr>& out, std::chrono::milliseconds timeout);

    // Ends the queue: waiting and later pushes fail; what is queued can still be taken.
    void close();

    std::uint64_t pushedCount() const;
    std::size_t highWater() const; // the most buffers ever queued at once
    std::size_t capacity() const { return limit; }

private:
    const std::size_t limit;
    mutable std::mutex mutex;
    std::condition_variable roomOrClosed;
    std::condition_variable itemsOrClosed;
    std::deque<korvex::host::BufferPtr> buffers; // guarded by mutex
    bool closed = false;                         // guarded by mutex
    std::uint64_t pushed = 0;                    // guarded by mutex
    std::size_t mostQueued = 0;                  // guarded by mutex
};

} // namespace sensorstream
