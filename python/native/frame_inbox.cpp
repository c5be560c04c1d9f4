#include "frame_inbox.h"

#include "host/property_list.h"
#include "tools/arrivals/monotonic_clock.h"

#include <cstring>
#include <limits>
#include <utility>

namespace kx {

namespace {

constexpr double NO_STAMP = std::numeric_limits<double>::quiet_NaN();

} // namespace

FrameInbox::FrameInbox(std::size_t frameRoom) : room(frameRoom == 0 ? 1 : frameRoom) {}

void FrameInbox::makeReady(StampedFrame stamped) {
    ready.push_back(std::move(stamped));
    while (ready.size() > room) {
        ready.pop_front(); // released here, on the camera's thread
        ++droppedCount;
    }
}

bool FrameInbox::offerFrame(korvex::host::BufferPtr frame) {
    return offerFrame(std::move(frame), arrivals::monotonicNow());
}

bool FrameInbox::offerFrame(korvex::host::BufferPtr frame, double arrival) {
    {
        std::lock_guard<std::mutex> lock(mutex);
        ++arrivalCount;
        if (unstamped)
            makeReady(std::move(*unstamped));
        unstamped = StampedFrame{std::move(frame), NO_STAMP, arrival};
    }
    readyOrClosed.notify_all();
    return true;
}

void FrameInbox::offerProperty(const korvex::host::PropertyPtr& property) {
    if (std::strcmp(property->getName(), "TimeStamp") != 0)
        return;
    const auto stamp = korvex::host::scalarValue<double>(property.get());
    if (!stamp)
        return;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (!unstamped)
            return;
        unstamped->timestamp = *stamp;
        makeReady(std::move(*unstamped));
        unstamped.reset();
    }
    readyOrClosed.notify_all();
}

bool FrameInbox::waitReady(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex);
    readyOrClosed.wait_for(lock, timeout, [this] { return closed || !ready.empty(); });
    return !ready.empty();
}

std::optional<StampedFrame> FrameInbox::take(bool newest) {
    std::deque<StampedFrame> skipped; // released outside the lock
    std::lock_guard<std::mutex> lock(mutex);
    if (ready.empty())
        return std::nullopt;
    if (newest) {
        while (ready.size() > 1) {
            skipped.push_back(std::move(ready.front()));
            ready.pop_front();
            ++droppedCount;
        }
    }
    StampedFrame taken = std::move(ready.front());
    ready.pop_front();
    return taken;
}

void FrameInbox::close() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        closed = true;
    }
    readyOrClosed.notify_all();
}

std::uint64_t FrameInbox::arrivals() const {
    std::lock_guard<std::mutex> lock(mutex);
    return arrivalCount;
}

std::uint64_t FrameInbox::dropped() const {
    std::lock_guard<std::mutex> lock(mutex);
    return droppedCount;
}

} // namespace kx
