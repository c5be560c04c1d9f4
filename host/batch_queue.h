#pragma once

// A bounded hand-over of items, in order, from the threads that make them (a sensor
// device's thread writing buffers into the channel) to one thread that takes them
// in batches (a program's output, a Python reader).
//
// It is built for a stream of many small items, tens of thousands a second: a wake-up
// of the taking thread costs more than handling an item, so the taker is woken only
// when it waits for a first item, when a batch is full, or when the queue closes.
// While it gathers a batch it comes back on its own after a short gather time, so no
// item waits longer than that for a taker that is idle. A taker that is busy costs
// the producer a lock and an append per item and nothing else.
//
// Nothing is dropped: a full queue makes the producer wait until the taker makes
// room. Items are taken in the order they were pushed. Taking swaps the queue's
// storage with the taker's emptied vector, so a steady stream allocates nothing.

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <mutex>
#include <stdexcept>
#include <utility>
#include <vector>

namespace korvex::host {

struct BatchLimits {
    std::size_t capacity = 4096; // items queued at most; a producer waits beyond
    std::size_t batch = 1024;    // items that wake a gathering taker at once
    std::chrono::microseconds gather{std::chrono::milliseconds(5)}; // the longest gathering
};

template <class Item> class BatchQueue {
public:
    using Clock = std::chrono::steady_clock;

    // Throws std::invalid_argument for no capacity; a batch beyond the capacity is
    // the capacity (a full queue always ends a gathering).
    explicit BatchQueue(BatchLimits queueLimits);

    BatchQueue(const BatchQueue&) = delete;
    BatchQueue& operator=(const BatchQueue&) = delete;

    // Any producer thread. Waits for room, then appends the item; true when it was
    // queued. False only once the queue is closed; the item is then destroyed here.
    bool push(Item item);

    // The taking thread. Waits up to timeout for a first item, then gathers until a
    // batch is queued, the gather time is over or the queue closes, and moves every
    // queued item, oldest first, to the end of out (an empty out gives its storage
    // to the queue). False when the queue is closed and empty; true otherwise, with
    // nothing added when the timeout passed with no item.
    bool take(std::vector<Item>& out, std::chrono::milliseconds timeout);

    // Ends the queue: waiting ends, later pushes fail; what is queued can still be
    // taken.
    void close();

    std::uint64_t pushedCount() const;
    std::size_t highWater() const; // the most items ever queued at once
    // How often a producer woke the taker: once per batch at most, never for a
    // taker that is busy.
    std::uint64_t wakeUpCount() const;
    const BatchLimits& limits() const { return settings; }

private:
    enum class Taker { Busy, WaitingForFirst, Gathering };

    const BatchLimits settings;
    mutable std::mutex mutex;
    std::condition_variable itemsOrClosed;
    std::condition_variable roomOrClosed;
    std::vector<Item> items;          // guarded by mutex
    Taker taker = Taker::Busy;        // guarded by mutex
    std::size_t producersWaiting = 0; // guarded by mutex
    bool closed = false;              // guarded by mutex
    std::uint64_t pushed = 0;         // guarded by mutex
    std::size_t mostQueued = 0;       // guarded by mutex
    std::uint64_t wakeUps = 0;        // guarded by mutex
};

namespace batch_queue_detail {

inline BatchLimits checked(BatchLimits limits) {
    if (limits.capacity == 0)
        throw std::invalid_argument("a batch queue needs room for at least one item");
    limits.batch = std::clamp<std::size_t>(limits.batch, 1, limits.capacity);
    return limits;
}

} // namespace batch_queue_detail

template <class Item>
BatchQueue<Item>::BatchQueue(BatchLimits queueLimits)
    : settings(batch_queue_detail::checked(queueLimits)) {
    items.reserve(settings.capacity);
}

template <class Item> bool BatchQueue<Item>::push(Item item) {
    bool wake = false;
    {
        std::unique_lock<std::mutex> lock(mutex);
        if (!closed && items.size() >= settings.capacity) {
            ++producersWaiting;
            roomOrClosed.wait(lock, [this] { return closed || items.size() < settings.capacity; });
            --producersWaiting;
        }
        if (closed)
            return false; // the item is destroyed on the way out, after the unlock
        items.push_back(std::move(item));
        ++pushed;
        mostQueued = std::max(mostQueued, items.size());
        wake = taker == Taker::WaitingForFirst ||
               (taker == Taker::Gathering && items.size() >= settings.batch);
        if (wake) {
            taker = Taker::Busy; // one wake-up is enough until the taker waits again
            ++wakeUps;
        }
    }
    if (wake)
        itemsOrClosed.notify_one();
    return true;
}

template <class Item>
bool BatchQueue<Item>::take(std::vector<Item>& out, std::chrono::milliseconds timeout) {
    bool roomMade = false;
    {
        std::unique_lock<std::mutex> lock(mutex);
        if (items.empty() && !closed) {
            taker = Taker::WaitingForFirst;
            itemsOrClosed.wait_for(lock, timeout, [this] { return closed || !items.empty(); });
        }
        if (!items.empty() && !closed && items.size() < settings.batch) {
            taker = Taker::Gathering;
            itemsOrClosed.wait_until(lock, Clock::now() + settings.gather,
                                     [this] { return closed || items.size() >= settings.batch; });
        }
        taker = Taker::Busy;
        if (items.empty())
            return !closed;
        if (out.empty()) {
            out.swap(items);
        } else {
            std::move(items.begin(), items.end(), std::back_inserter(out));
            items.clear();
        }
        // The storage handed over may be smaller than a full queue: the appends of
        // the producer must not allocate while it holds the lock.
        items.reserve(settings.capacity);
        roomMade = producersWaiting > 0;
    }
    if (roomMade)
        roomOrClosed.notify_all();
    return true;
}

template <class Item> void BatchQueue<Item>::close() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        closed = true;
    }
    roomOrClosed.notify_all();
    itemsOrClosed.notify_all();
}

template <class Item> std::uint64_t BatchQueue<Item>::pushedCount() const {
    std::lock_guard<std::mutex> lock(mutex);
    return pushed;
}

template <class Item> std::size_t BatchQueue<Item>::highWater() const {
    std::lock_guard<std::mutex> lock(mutex);
    return mostQueued;
}

template <class Item> std::uint64_t BatchQueue<Item>::wakeUpCount() const {
    std::lock_guard<std::mutex> lock(mutex);
    return wakeUps;
}

} // namespace korvex::host
