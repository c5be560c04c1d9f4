#pragma once

// Where the capture device's frames arrive: the channel hands each frame over on
// the camera's thread. The inbox keeps up to the number of frames wanted, a few at
// a time, and refuses the others, as a camera drops late frames; it times every
// arrival, so the frame rate is measured over all frames the camera delivered.

#include "host/channel.h"
#include "tools/arrivals/monotonic_clock.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>

namespace camgrab {

class FrameInbox {
public:
    using Clock = arrivals::MonotonicClock; // the timeline readings share

    struct Arrival {
        korvex::host::BufferPtr frame; // null when none came
        Clock::time_point time;
    };

    // wanted: frames to keep in all; room: how many may wait at once.
    FrameInbox(std::uint64_t wanted, std::size_t room);

    // The channel's buffer handler: true when the frame was kept.
    bool offer(korvex::host::BufferPtr frame);
    bool offer(korvex::host::BufferPtr frame, Clock::time_point now);

    // The oldest kept frame, waiting up to timeout; null when none came.
    korvex::host::BufferPtr take(std::chrono::milliseconds timeout);
    // The same with the time it arrived.
    Arrival takeArrival(std::chrono::milliseconds timeout);

    std::uint64_t arrivals() const;
    std::uint64_t kept() const;
    // Frames per second between the first and the last arrival; 0 before two.
    double measuredRate() const;

private:
    const std::uint64_t wantedFrames;
    const std::size_t waitingRoom;
    mutable std::mutex mutex;
    std::condition_variable arrived;
    std::deque<Arrival> waiting;    // guarded by mutex
    std::uint64_t arrivalCount = 0; // guarded by mutex
    std::uint64_t keptCount = 0;    // guarded by mutex
    Clock::time_point first;        // guarded by mutex
    Clock::time_point last;         // guarded by mutex
};

} // namespace camgrab
