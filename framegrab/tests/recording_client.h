#pragma once

#include "framegrab/capture_controller.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A controller client that records what a controller hands it. Callbacks only
// record (under the mutex); tests read the records on their own thread.

namespace framegrab::testing {

struct FrameRecord {
    std::size_t width = 0;
    std::size_t height = 0;
    std::size_t bytesPerRow = 0;
    std::size_t dataSize = 0;
    double timestamp = 0;
    std::uint8_t firstPixel[4] = {0, 0, 0, 0};
    bool afterClose = false;
    bool afterError = false; // an error had been reported when the frame came
};

struct ErrorRecord {
    std::string identifier;
    std::string text;
};

class RecordingClient final : public ControllerClient {
public:
    void processFrame(const PixelBuffer& pixels, double timestamp) override {
        FrameRecord record;
        record.width = pixels.width;
        record.height = pixels.height;
        record.bytesPerRow = pixels.bytesPerRow;
        record.dataSize = pixels.dataSize;
        record.timestamp = timestamp;
        for (int b = 0; b < 4 && pixels.dataSize >= 4; ++b)
            record.firstPixel[b] = pixels.baseAddress[b];
        {
            std::lock_guard<std::mutex> lock(mutex);
            record.afterClose = closed;
            record.afterError = !errors.empty();
            ++inProgress;
        }
        changed.notify_all();
        // A slow consumer keeps the frame a while, so that close meets a frame in flight.
        if (holdFrame.count() != 0)
            std::this_thread::sleep_for(holdFrame);
        {
            std::lock_guard<std::mutex> lock(mutex);
            --inProgress;
            frames.push_back(record);
        }
        changed.notify_all();
    }

    void errorFcn(const std::string& identifier, const std::string& text) override {
        {
            std::lock_guard<std::mutex> lock(mutex);
            errors.push_back({identifier, text});
        }
        changed.notify_all();
    }

    bool waitForErrors(std::size_t count, std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, timeout, [&] { return errors.size() >= count; });
    }
    bool waitForFrames(std::size_t count, std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, timeout, [&] { return frames.size() >= count; });
    }
    // Waits until a frame is being handed over.
    bool waitForFrameInProgress(std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, timeout, [&] { return inProgress > 0; });
    }
    // From now on, every frame handed over is marked as arriving after close.
    void markClosed() {
        std::lock_guard<std::mutex> lock(mutex);
        closed = true;
    }
    int framesInProgress() {
        std::lock_guard<std::mutex> lock(mutex);
        return inProgress;
    }
    std::vector<FrameRecord> takeFrames() {
        std::lock_guard<std::mutex> lock(mutex);
        std::vector<FrameRecord> all;
        all.swap(frames);
        return all;
    }
    std::vector<ErrorRecord> takeErrors() {
        std::lock_guard<std::mutex> lock(mutex);
        std::vector<ErrorRecord> all;
        all.swap(errors);
        return all;
    }

    std::chrono::milliseconds holdFrame{0};

private:
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<FrameRecord> frames;
    std::vector<ErrorRecord> errors;
    int inProgress = 0;
    bool closed = false;
};

} // namespace framegrab::testing
