#pragma once

// An MJPEG camera made of JPEG frames encoded before the run: each source the
// capture controller asks for is an appsrc that offers one mode (image/jpeg at the
// size and rate), and one pacing thread pushes the frames, in turn, into the
// latest of them at the camera's rate, stamped with the clock's time at the push
// as a camera stamps its frames at capture. A full source drops the new frame, as
// a camera that has no free buffer does.

#include "framegrab/camera_source_linux.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <gst/gst.h>
#include <mutex>
#include <thread>
#include <vector>

namespace framegrab_bench {

class EncodedCamera {
public:
    using Clock = std::chrono::steady_clock;

    // Encodes `frames` frames (SMPTE bars with the frame number painted in,
    // frame_mark.h) as 4:2:2 JPEG of that quality, as USB cameras send them.
    EncodedCamera(int width, int height, int framesPerSecond, unsigned frames, int quality);
    ~EncodedCamera();
    EncodedCamera(const EncodedCamera&) = delete;
    EncodedCamera& operator=(const EncodedCamera&) = delete;

    framegrab::SourceFactory factory();
    // The pipeline of the latest source (new reference), or null.
    GstElement* pipeline();

    void start();
    void stop();

    // Push moments by push number (frame k shows number k modulo frameCount()).
    // Valid up to pushCount() (acquire).
    std::size_t pushCount() const { return pushes.load(std::memory_order_acquire); }
    Clock::time_point pushedAt(std::size_t push) const { return pushTimes[push]; }
    // Pushes that came later than half a period after their time (a busy machine).
    std::size_t latePushes() const { return late.load(); }
    // CPU time of the pacing thread so far, nanoseconds.
    std::int64_t pacerCpuNs() const { return pacerCpu.load(); }

    unsigned frameCount() const { return static_cast<unsigned>(encoded.size()); }
    double averageFrameBytes() const;

private:
    void pace();

    const int width;
    const int height;
    const int rate;
    std::vector<GstBuffer*> encoded;
    std::mutex sourceMutex;
    GstElement* source = nullptr; // the latest appsrc (a reference), guarded by sourceMutex
    std::vector<Clock::time_point> pushTimes;
    std::atomic<std::size_t> pushes{0};
    std::atomic<std::size_t> late{0};
    std::atomic<bool> running{false};
    std::atomic<std::int64_t> pacerCpu{0};
    std::thread pacer;
};

// CPU time of the calling thread, nanoseconds.
std::int64_t threadCpuNs();

} // namespace framegrab_bench
