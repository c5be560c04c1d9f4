#include "reading_queue.h"

#include <algorithm>
#include <stdexcept>

namespace sensorstream {

ReadingQueue::ReadingQueue(std::size_t capacity) : limit(capacity) {
    if (capacity == 0)
        throw std::invalid_argument("a reading queue needs room for at least one buffer");
}

bool ReadingQueue::push(korvex::host::BufferPtr buffer) {
    {
        std::unique_lock<std::mutex> lock(mutex);
        roomOrClosed.wait(lock, [this] { return closed || buffers.size() < limit; });
        if (closed)
            return false; // buffer is released on the way out
        buffers.push_back(std::move(buffer));
        ++pushed;
        mostQueued = std::max(mostQueued, buffers.size());
    }
    itemsOrClosed.notify_one();
    return true;
}

bool ReadingQueue::takeAll(std::vector<korvex::host::BufferPtr>& out,
                           std::chrono::milliseconds timeout) {
    {
        std::unique_lock<std::mutex> lock(mutex);
        itemsOrClosed.wait_for(lock, timeout, [this] { return closed || !buffers.empty(); });
        if (buffers.empty())
            return !closed;
        for (auto& buffer : buffers)
            out.push_back(std::move(buffer));
        buffers.clear();
    }
    roomOrClosed.notify_all();
    return true;
}

void ReadingQueue::close() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        closed = true;
    }
    roomOrClosed.notify_all();
    itemsOrClosed.notify_all();
}

std::uint64_t ReadingQueue::pushedCount() const {
    std::lock_guard<std::mutex> lock(mutex);
    return pushed;
}

std::size_t ReadingQueue::highWater() const {
    std::lock_guard<std::mutex> lock(mutex);
    return mostQueued;
}

} // namespace sensorstream
