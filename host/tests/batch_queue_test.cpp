#include "host/batch_queue.h"
#include "host/channel.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using korvex::host::BatchLimits;
using korvex::host::BatchQueue;
using korvex::host::BufferPtr;

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

int numberOf(const BufferPtr& buffer) {
    return static_cast<const NumberedBuffer*>(buffer.get())->number;
}

BatchLimits limits(std::size_t capacity, std::size_t batch, std::chrono::microseconds gather) {
    BatchLimits result;
    result.capacity = capacity;
    result.batch = batch;
    result.gather = gather;
    return result;
}

// One taking thread until the queue is closed and empty: the sizes of the batches
// it took and the numbers it saw, read after join.
struct Taker {
    std::vector<std::size_t> batches;
    std::vector<int> seen;
    std::thread thread;

    explicit Taker(BatchQueue<BufferPtr>& queue)
        : thread([this, &queue] {
              std::vector<BufferPtr> batch;
              while (queue.take(batch, 10s)) {
                  if (batch.empty())
                      continue;
                  batches.push_back(batch.size());
                  for (const auto& buffer : batch)
                      seen.push_back(numberOf(buffer));
                  batch.clear();
              }
          }) {}
    void join() { thread.join(); }
};

TEST(BatchQueue, ABoundedQueueHandsOverEveryItemInOrder) {
    constexpr int COUNT = 20000;
    std::atomic<int> released{0};
    BatchQueue<BufferPtr> queue(limits(16, 4, 1ms));
    Taker taker(queue);
    std::thread producer([&] {
        for (int i = 0; i < COUNT; ++i)
            ASSERT_TRUE(queue.push(BufferPtr(new NumberedBuffer(i, released))));
    });
    producer.join();
    queue.close();
    taker.join();
    // Nothing lost, nothing reordered, never more than the capacity, each released once.
    ASSERT_EQ(static_cast<std::size_t>(COUNT), taker.seen.size());
    for (int i = 0; i < COUNT; ++i)
        ASSERT_EQ(i, taker.seen[static_cast<std::size_t>(i)]);
    EXPECT_EQ(static_cast<std::uint64_t>(COUNT), queue.pushedCount());
    EXPECT_LE(queue.highWater(), 16u);
    EXPECT_GE(queue.highWater(), 1u);
    EXPECT_EQ(COUNT, released.load());
}

TEST(BatchQueue, AWaitingTakerIsWokenOncePerBatchNotPerItem) {
    constexpr int COUNT = 4000;
    constexpr std::size_t BATCH = 50;
    std::atomic<int> released{0};
    // A gathering longer than the test: only a full batch or the close end one.
    BatchQueue<BufferPtr> queue(limits(200, BATCH, 1h));
    Taker taker(queue);
    for (int i = 0; i < COUNT; ++i)
        ASSERT_TRUE(queue.push(BufferPtr(new NumberedBuffer(i, released))));
    queue.close();
    taker.join();
    ASSERT_EQ(static_cast<std::size_t>(COUNT), taker.seen.size());
    for (int i = 0; i < COUNT; ++i)
        ASSERT_EQ(i, taker.seen[static_cast<std::size_t>(i)]);
    // Every batch but the last was gathered to the full batch size...
    ASSERT_FALSE(taker.batches.empty());
    for (std::size_t b = 0; b + 1 < taker.batches.size(); ++b)
        EXPECT_GE(taker.batches[b], BATCH) << "batch " << b;
    // ...and the producer woke the taker at most for its first item and its last.
    EXPECT_LE(queue.wakeUpCount(), 2 * taker.batches.size());
    EXPECT_LE(taker.batches.size(), COUNT / BATCH + 1);
}

TEST(BatchQueue, ATakerThatIsNotWaitingIsNeverWoken) {
    std::atomic<int> released{0};
    BatchQueue<BufferPtr> queue(limits(100, 10, 1ms));
    for (int i = 0; i < 30; ++i)
        ASSERT_TRUE(queue.push(BufferPtr(new NumberedBuffer(i, released))));
    EXPECT_EQ(0u, queue.wakeUpCount());
    // A full batch is there: taking does not wait, and takes all of it in order.
    std::vector<BufferPtr> batch;
    ASSERT_TRUE(queue.take(batch, 0ms));
    ASSERT_EQ(30u, batch.size());
    for (int i = 0; i < 30; ++i)
        EXPECT_EQ(i, numberOf(batch[static_cast<std::size_t>(i)]));
    EXPECT_EQ(0u, queue.wakeUpCount());
}

TEST(BatchQueue, AGatheringEndsAfterTheGatherTimeWithWhatCame) {
    std::atomic<int> released{0};
    BatchQueue<BufferPtr> queue(limits(100, 50, 20ms));
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(queue.push(BufferPtr(new NumberedBuffer(i, released))));
    // Fewer than a batch and nobody pushes more: the taker comes back on its own.
    std::vector<BufferPtr> batch(1);
    batch[0] = BufferPtr(new NumberedBuffer(-1, released));
    ASSERT_TRUE(queue.take(batch, 10s));
    // What was in out stays in front.
    ASSERT_EQ(4u, batch.size());
    EXPECT_EQ(-1, numberOf(batch[0]));
    EXPECT_EQ(2, numberOf(batch[3]));
}

TEST(BatchQueue, ClosingEndsAGatheringAndTheRestIsStillTaken) {
    std::atomic<int> released{0};
    BatchQueue<BufferPtr> queue(limits(100, 50, 1h));
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(queue.push(BufferPtr(new NumberedBuffer(i, released))));
    std::vector<BufferPtr> batch;
    bool taken = false;
    std::thread taker([&] { taken = queue.take(batch, 10s); });
    queue.close(); // before or during the gathering: either way it ends
    taker.join();
    EXPECT_TRUE(taken);
    EXPECT_EQ(3u, batch.size());
    batch.clear();
    EXPECT_FALSE(queue.take(batch, 10s)) << "closed and empty";
    EXPECT_EQ(3, released.load());
}

TEST(BatchQueue, AFullQueueHoldsTheProducerUntilClosedThenReleasesTheItem) {
    std::atomic<int> released{0};
    BatchQueue<BufferPtr> queue(limits(1, 1, 1ms));
    ASSERT_TRUE(queue.push(BufferPtr(new NumberedBuffer(0, released))));
    std::atomic<bool> pushed{false};
    bool accepted = true;
    std::thread producer([&] {
        accepted = queue.push(BufferPtr(new NumberedBuffer(1, released)));
        pushed.store(true);
    });
    // The producer waits for room: nothing is dropped while the queue is full.
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(pushed.load());
    queue.close();
    producer.join();
    EXPECT_FALSE(accepted);
    EXPECT_EQ(1, released.load()) << "the refused item is released";
    // What was queued before the close is still handed out.
    std::vector<BufferPtr> batch;
    EXPECT_TRUE(queue.take(batch, 0ms));
    ASSERT_EQ(1u, batch.size());
    batch.clear();
    EXPECT_EQ(2, released.load());
    EXPECT_FALSE(queue.push(BufferPtr(new NumberedBuffer(2, released))));
    EXPECT_EQ(3, released.load());
}

TEST(BatchQueue, TakingWaitsBoundedForTheFirstItem) {
    BatchQueue<BufferPtr> queue(limits(4, 2, 1ms));
    std::vector<BufferPtr> batch;
    EXPECT_TRUE(queue.take(batch, 10ms)) << "open and empty: try again";
    EXPECT_TRUE(batch.empty());
    EXPECT_THROW(BatchQueue<BufferPtr>(limits(0, 1, 1ms)), std::invalid_argument);
    // A batch beyond the capacity would never be reached: it is the capacity.
    EXPECT_EQ(4u, BatchQueue<BufferPtr>(limits(4, 100, 1ms)).limits().batch);
}

} // namespace
