#include "tools/sensorstream/reading_queue.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using korvex::host::BufferPtr;
using sensorstream::ReadingQueue;

// A buffer that knows its place in the sequence and counts its release.
class NumberedBuffer : public conduit::interfaces::IDataBuffer {
public:
    NumberedBuffer(int n, std::atomic<int>& released) : number(n), releases(released) {}
    std::size_t getCount() const override { return 1; }
    void destroy() override {
        releases.fetch_add(1);
        delete this;
    }
    const int number;

private:
    ~NumberedBuffer() override = default;
    std::atomic<int>& releases;
};

TEST(ReadingQueue, ABoundedQueueHandsOverEveryBufferInOrder) {
    constexpr int COUNT = 20000;
    std::atomic<int> released{0};
    ReadingQueue queue(16);
    std::thread writer([&] {
        for (int i = 0; i < COUNT; ++i)
            queue.push(BufferPtr(new NumberedBuffer(i, released)));
    });
    std::vector<int> seen;
    std::vector<BufferPtr> batch;
    while (static_cast<int>(seen.size()) < COUNT) {
        ASSERT_TRUE(queue.takeAll(batch, 5s));
        for (const auto& buffer : batch)
            seen.push_back(static_cast<const NumberedBuffer*>(buffer.get())->number);
        batch.clear();
    }
    writer.join();
    queue.close();
    // Nothing more, nothing lost, nothing reordered, never more than the capacity.
    EXPECT_FALSE(queue.takeAll(batch, 0ms));
    ASSERT_EQ(static_cast<std::size_t>(COUNT), seen.size());
    for (int i = 0; i < COUNT; ++i)
        ASSERT_EQ(i, seen[static_cast<std::size_t>(i)]);
    EXPECT_EQ(static_cast<std::uint64_t>(COUNT), queue.pushedCount());
    EXPECT_LE(queue.highWater(), 16u);
    EXPECT_GE(queue.highWater(), 1u);
    EXPECT_EQ(COUNT, released.load());
}

TEST(ReadingQueue, AFullQueueHoldsTheWriterUntilClosedThenReleasesTheBuffer) {
    std::atomic<int> released{0};
    ReadingQueue queue(1);
    ASSERT_TRUE(queue.push(BufferPtr(new NumberedBuffer(0, released))));
    std::atomic<bool> pushed{false};
    bool accepted = true;
    std::thread writer([&] {
        accepted = queue.push(BufferPtr(new NumberedBuffer(1, released)));
        pushed.store(true);
    });
    // The writer waits for room: nothing is dropped while the queue is full.
    std::vector<BufferPtr> batch;
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(pushed.load());
    queue.close();
    writer.join();
    EXPECT_FALSE(accepted);
    EXPECT_EQ(1, released.load()) << "the refused buffer is released";
    // What was queued before the close is still handed out.
    EXPECT_TRUE(queue.takeAll(batch, 0ms));
    ASSERT_EQ(1u, batch.size());
    batch.clear();
    EXPECT_EQ(2, released.load());
    EXPECT_FALSE(queue.push(BufferPtr(new NumberedBuffer(2, released))));
    EXPECT_EQ(3, released.load());
}

TEST(ReadingQueue, TakingWaitsBoundedForTheFirstBuffer) {
    ReadingQueue queue(4);
    std::vector<BufferPtr> batch;
    EXPECT_TRUE(queue.takeAll(batch, 10ms)) << "open and empty: try again";
    EXPECT_TRUE(batch.empty());
    EXPECT_THROW(ReadingQueue(0), std::invalid_argument);
}

} // namespace
