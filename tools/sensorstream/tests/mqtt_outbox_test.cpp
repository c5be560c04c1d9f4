// The queue between the output thread and the broker: bounded, in order, a reading
// removed only when confirmed, everything unconfirmed sent again after a lost
// connection, and every reading that did not go counted for its phone.

#include "tools/sensorstream/mqtt_outbox.h"

#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

namespace {

using sensorstream::MqttOutbox;
using sensorstream::OutgoingBatch;

OutgoingBatch batchOf(std::initializer_list<std::pair<std::size_t, std::string>> readings) {
    OutgoingBatch batch;
    for (const auto& [phone, payload] : readings)
        batch.add(phone, 1, payload);
    return batch;
}

// Sends what is unsent, as the network thread does, numbering the messages from
// firstId; returns the payloads in the order sent.
std::vector<std::string> sendAll(MqttOutbox& outbox, int firstId) {
    std::vector<std::string> sent;
    while (auto next = outbox.nextUnsent()) {
        sent.emplace_back(next->payload);
        outbox.sent(firstId++);
    }
    return sent;
}

TEST(OutgoingBatch, KeepsPayloadsPhonesAndMeasurementsInOrder) {
    OutgoingBatch batch;
    batch.add(2, 5, "{\"a\":1}");
    batch.add(0, 7, "");
    batch.add(1, 1, "xyz");
    ASSERT_EQ(3u, batch.size());
    EXPECT_EQ("{\"a\":1}", batch.payload(batch[0]));
    EXPECT_EQ("", batch.payload(batch[1]));
    EXPECT_EQ("xyz", batch.payload(batch[2]));
    EXPECT_EQ(2u, batch[0].phone);
    EXPECT_EQ(7, batch[1].measurement);
    batch.truncate(1);
    ASSERT_EQ(1u, batch.size());
    batch.add(1, 1, "next");
    EXPECT_EQ("next", batch.payload(batch[1])) << "the text was cut with the readings";
}

TEST(MqttOutbox, SendsInOrderAndRemovesOnlyWhatIsConfirmed) {
    MqttOutbox outbox(10, 2);
    auto batch = batchOf({{0, "a"}, {1, "b"}, {0, "c"}});
    EXPECT_EQ(3u, outbox.post(batch));
    EXPECT_TRUE(batch.empty()) << "the batch comes back empty";
    EXPECT_EQ((std::vector<std::string>{"a", "b", "c"}), sendAll(outbox, 1));
    EXPECT_EQ(3u, outbox.awaitingConfirmation());

    outbox.confirmed(1);
    outbox.confirmed(99); // not awaited: ignored
    EXPECT_EQ(2u, outbox.waiting());
    // Confirmed out of order: c stays until b is confirmed too.
    outbox.confirmed(3);
    EXPECT_EQ(2u, outbox.waiting());
    outbox.confirmed(2);
    EXPECT_EQ(0u, outbox.waiting());
    EXPECT_EQ(0u, outbox.awaitingConfirmation());
    const auto counts = outbox.counts();
    EXPECT_EQ(2u, counts[0].published);
    EXPECT_EQ(1u, counts[1].published);
    EXPECT_EQ(3u, outbox.confirmedTotal());
}

TEST(MqttOutbox, SendsEverythingUnconfirmedAgainAfterALostConnection) {
    MqttOutbox outbox(10, 1);
    auto first = batchOf({{0, "a"}, {0, "b"}});
    auto second = batchOf({{0, "c"}, {0, "d"}});
    outbox.post(first);
    outbox.post(second);
    for (const char* expected : {"a", "b", "c"}) {
        const auto next = outbox.nextUnsent();
        ASSERT_TRUE(next);
        EXPECT_EQ(expected, next->payload);
        outbox.sent(static_cast<int>(expected[0] - 'a') + 1);
    }
    outbox.confirmed(1);
    outbox.sendAgain();
    // The ids of the old connection mean nothing on the new one.
    outbox.confirmed(2);
    EXPECT_EQ((std::vector<std::string>{"b", "c", "d"}), sendAll(outbox, 1));
    outbox.confirmed(1);
    outbox.confirmed(2);
    outbox.confirmed(3);
    EXPECT_EQ(0u, outbox.waiting());
    EXPECT_EQ(4u, outbox.counts()[0].published);
}

TEST(MqttOutbox, CountsWhatFindsTheQueueFullAsItsPhonesOverflow) {
    MqttOutbox outbox(3, 3);
    auto first = batchOf({{0, "a"}, {1, "b"}});
    auto second = batchOf({{2, "c"}, {0, "d"}, {1, "e"}, {1, "f"}});
    EXPECT_EQ(2u, outbox.post(first));
    EXPECT_EQ(1u, outbox.post(second)) << "only c fits";
    auto counts = outbox.counts();
    EXPECT_EQ(1u, counts[0].overflowed);
    EXPECT_EQ(2u, counts[1].overflowed);
    EXPECT_EQ(0u, counts[2].overflowed);
    EXPECT_EQ((std::vector<std::string>{"a", "b", "c"}), sendAll(outbox, 10));

    // Room comes back only with confirmations.
    auto third = batchOf({{2, "g"}});
    EXPECT_EQ(0u, outbox.post(third));
    outbox.confirmed(10);
    auto fourth = batchOf({{2, "h"}});
    EXPECT_EQ(1u, outbox.post(fourth));
    EXPECT_EQ(1u, outbox.counts()[2].overflowed);
}

TEST(MqttOutbox, CountsRefusedReadingsAsFailedAndWhatIsLeftAsUnsent) {
    MqttOutbox outbox(10, 2);
    auto batch = batchOf({{0, "a"}, {1, "b"}, {0, "c"}, {1, "d"}});
    outbox.post(batch);
    outbox.nextUnsent();
    outbox.sent(1);
    outbox.nextUnsent();
    outbox.failed(); // b can never go
    outbox.nextUnsent();
    outbox.sent(2);
    outbox.confirmed(2); // c confirmed before a
    outbox.abandon();
    const auto counts = outbox.counts();
    EXPECT_EQ(1u, counts[0].published) << "c";
    EXPECT_EQ(1u, counts[0].unsent) << "a, never confirmed";
    EXPECT_EQ(1u, counts[1].failed) << "b";
    EXPECT_EQ(1u, counts[1].unsent) << "d";
    EXPECT_EQ(0u, outbox.waiting());
}

// The output thread posts while the network thread sends and confirms: every
// reading arrives once, in order.
TEST(MqttOutbox, HandsReadingsOverBetweenThreadsInOrder) {
    constexpr int READINGS = 20000;
    MqttOutbox outbox(READINGS, 1);
    std::thread producer([&] {
        for (int i = 0; i < READINGS; i += 100) {
            OutgoingBatch batch;
            for (int k = i; k < i + 100; ++k)
                batch.add(0, 1, std::to_string(k));
            outbox.post(batch);
        }
    });
    std::vector<int> received;
    int id = 1;
    while (received.size() < static_cast<std::size_t>(READINGS)) {
        if (auto next = outbox.nextUnsent()) {
            received.push_back(std::stoi(std::string(next->payload)));
            outbox.sent(id);
            outbox.confirmed(id++);
        } else {
            std::this_thread::yield();
        }
    }
    producer.join();
    for (int i = 0; i < READINGS; ++i)
        ASSERT_EQ(i, received[static_cast<std::size_t>(i)]);
    EXPECT_EQ(static_cast<std::uint64_t>(READINGS), outbox.counts()[0].published);
    EXPECT_EQ(0u, outbox.counts()[0].overflowed);
}

} // namespace
