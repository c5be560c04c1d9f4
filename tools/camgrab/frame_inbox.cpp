#include "frame_inbox.h"

namespace camgrab {

FrameInbox::FrameInbox(std::uint64_t wanted, std::size_t room)
    : wantedFrames(wanted), waitingRoom(room == 0 ? 1 : room) {}

bool FrameInbox::offer(korvex::host::BufferPtr frame) {
    return offer(std::move(frame), Clock::now());
}

bool FrameInbox::offer(korvex::host::BufferPtr frame, Clock::time_point now) {
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (arrivalCount++ == 0)
            first = now;
        last = now;
        if (keptCount >= wantedFrames || waiting.size() >= waitingRoom)
            return false; // the channel releases the frame
        waiting.push_back({std::move(frame), now});
        ++keptCount;
    }
    arrived.notify_one();
    return true;
}

korvex::host::BufferPtr FrameInbox::take(std::chrono::milliseconds timeout) {
    return takeArrival(timeout).frame;
}

FrameInbox::Arrival FrameInbox::takeArrival(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex);
    if (!arrived.wait_for(lock, timeout, [this] { return !waiting.empty(); }))
        return {};
    Arrival oldest = std::move(waiting.front());
    waiting.pop_front();
    return oldest;
}

std::uint64_t FrameInbox::arrivals() const {
    std::lock_guard<std::mutex> lock(mutex);
    return arrivalCount;
}

std::uint64_t FrameInbox::kept() const {
    std::lock_guard<std::mutex> lock(mutex);
    return keptCount;
}

double FrameInbox::measuredRate() const {
    std::lock_guard<std::mutex> lock(mutex);
    const double seconds = std::chrono::duration<double>(last - first).count();
    if (arrivalCount < 2 || seconds <= 0.0)
        return 0.0;
    return static_cast<double>(arrivalCount - 1) / seconds;
}

} // namespace camgrab
