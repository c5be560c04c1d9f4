#pragma once

// Where a running camera's frames wait for the Python reader, each with its time
// stamp and its arrival on the monotonic clock. On the camera's thread the device writes a frame
// and then posts its "TimeStamp"; a frame is ready once its stamp has come (or, should the stamp
// never come, once the next frame does, without a stamp). The newest ready frames
// are kept, up to the room given; when the reader falls behind, the oldest are
// dropped and counted, as a live camera drops late frames.

#include "host/channel.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>

namespace kx {

struct StampedFrame {
    korvex::host::BufferPtr frame; // packed, as the device wrote it
    double timestamp;              // seconds since the camera's first frame; NaN: none came
    // When the device handed the frame over, on the camera's thread: seconds on the
    // monotonic clock readings carry too (tools/arrivals/monotonic_clock.h).
    double arrival;
};

class FrameInbox {
public:
    explicit FrameInbox(std::size_t room);

    // The channel's buffer handler (camera thread): always takes the frame, which
    // arrives now, or at arrival (monotonic seconds).
    bool offerFrame(korvex::host::BufferPtr frame);
    bool offerFrame(korvex::host::BufferPtr frame, double arrival);
    // The channel's property handler (camera thread): a "TimeStamp" stamps the
    // frame before it; other properties are ignored.
    void offerProperty(const korvex::host::PropertyPtr& property);

    // Waits up to timeout for a ready frame; true when there is one.
    bool waitReady(std::chrono::milliseconds timeout);
    // The oldest ready frame, or with newest the newest (the older ones are then
    // dropped); nothing when none is ready.
    std::optional<StampedFrame> take(bool newest);

    // Ends waiting: waitReady answers at once from now on.
    void close();

    std::uint64_t arrivals() const; // frames the camera delivered
    std::uint64_t dropped() const;  // of which dropped before the reader took them

private:
    void makeReady(StampedFrame stamped); // with mutex held

    const std::size_t room;
    mutable std::mutex mutex;
    std::condition_variable readyOrClosed;
    std::optional<StampedFrame> unstamped; // guarded by mutex; its stamp NaN
    std::deque<StampedFrame> ready;        // guarded by mutex
    std::uint64_t arrivalCount = 0;        // guarded by mutex
    std::uint64_t droppedCount = 0;        // guarded by mutex
    bool closed = false;                   // guarded by mutex
};

} // namespace kx
