#include "tools/camgrab/frame_inbox.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace {

using namespace std::chrono_literals;
using camgrab::FrameInbox;
using korvex::host::BufferPtr;

class CountedFrame : public conduit::interfaces::IDataBuffer {
public:
    explicit CountedFrame(std::atomic<int>& released) : releases(released) {}
    std::size_t getCount() const override { return 1; }
    void destroy() override {
        releases.fetch_add(1);
        delete this;
    }

private:
    ~CountedFrame() override = default;
    std::atomic<int>& releases;
};

TEST(FrameInbox, KeepsTheFramesWantedAndRefusesTheRestWhileTimingEveryArrival) {
    std::atomic<int> released{0};
    FrameInbox inbox(3, 2);
    const auto t0 = FrameInbox::Clock::time_point{};
    // Two wait, the third finds no room and is refused like a late camera frame.
    EXPECT_TRUE(inbox.offer(BufferPtr(new CountedFrame(released)), t0));
    EXPECT_TRUE(inbox.offer(BufferPtr(new CountedFrame(released)), t0 + 100ms));
    EXPECT_FALSE(inbox.offer(BufferPtr(new CountedFrame(released)), t0 + 200ms));
    EXPECT_NE(nullptr, inbox.take(0ms));
    // Room again: the third frame wanted is kept; after it every frame is refused.
    EXPECT_TRUE(inbox.offer(BufferPtr(new CountedFrame(released)), t0 + 300ms));
    EXPECT_FALSE(inbox.offer(BufferPtr(new CountedFrame(released)), t0 + 400ms));
    EXPECT_EQ(5u, inbox.arrivals());
    EXPECT_EQ(3u, inbox.kept());
    // Four intervals of 100 ms: 10 frames a second.
    EXPECT_DOUBLE_EQ(10.0, inbox.measuredRate());
    // Each kept frame comes with its own arrival, oldest first.
    for (const auto time : {t0 + 100ms, t0 + 300ms}) {
        const auto arrival = inbox.takeArrival(0ms);
        EXPECT_NE(nullptr, arrival.frame);
        EXPECT_EQ(time, arrival.time);
    }
    EXPECT_EQ(nullptr, inbox.take(10ms));
    EXPECT_EQ(5, released.load()) << "refused frames are released by the channel's pointer";
}

TEST(FrameInbox, TakeWaitsForAFrameFromTheCameraThread) {
    std::atomic<int> released{0};
    FrameInbox inbox(1, 1);
    EXPECT_EQ(0.0, inbox.measuredRate());
    std::thread camera([&] { inbox.offer(BufferPtr(new CountedFrame(released))); });
    EXPECT_NE(nullptr, inbox.take(10s));
    camera.join();
    EXPECT_EQ(1, released.load());
}

} // namespace
