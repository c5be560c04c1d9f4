// The outbox of one browser: bounded, frames and statuses superseded, readings
// dropped when there is no room, and every miss told once, before anything else.

#include "tools/sensorview/outbox.h"

#include <gtest/gtest.h>

namespace {

using sensorview::MessageKind;
using sensorview::Outbox;
using sensorview::OutMessage;

OutMessage message(MessageKind kind, const std::string& text, std::size_t readings = 0) {
    OutMessage made;
    made.kind = kind;
    made.data = std::make_shared<const std::string>(text);
    made.readings = readings;
    return made;
}

std::string nextText(Outbox& outbox) {
    auto next = outbox.next();
    return next ? *next->data : "(empty)";
}

TEST(Outbox, KeepsOrderWithinRoom) {
    Outbox outbox(4);
    outbox.push(message(MessageKind::Hello, "hello"));
    outbox.push(message(MessageKind::Readings, "r1", 3));
    outbox.push(message(MessageKind::Status, "s1"));
    outbox.push(message(MessageKind::Readings, "r2", 2));
    EXPECT_EQ("hello", nextText(outbox));
    EXPECT_EQ("r1", nextText(outbox));
    EXPECT_EQ("s1", nextText(outbox));
    EXPECT_EQ("r2", nextText(outbox));
    EXPECT_EQ("(empty)", nextText(outbox));
    EXPECT_EQ(0u, outbox.misses().readings);
}

TEST(Outbox, ReadingsWithoutRoomPushOutTheOldestAndAreCountedAndToldFirst) {
    Outbox outbox(2);
    outbox.push(message(MessageKind::Readings, "r1", 5));
    outbox.push(message(MessageKind::Readings, "r2", 7));
    outbox.push(message(MessageKind::Readings, "r3", 11)); // r1 goes
    outbox.push(message(MessageKind::Readings, "r4", 13)); // r2 goes
    // The room stays bounded whatever comes.
    EXPECT_EQ(2u, outbox.size());
    EXPECT_EQ(12u, outbox.misses().readings);
    // The notice of the misses goes out before the waiting readings, once; the
    // newest readings are the ones kept.
    EXPECT_EQ(R"({"type":"missed","readings":12,"frames":0})", nextText(outbox));
    EXPECT_EQ("r3", nextText(outbox));
    EXPECT_EQ("r4", nextText(outbox));
    EXPECT_EQ("(empty)", nextText(outbox));
}

TEST(Outbox, ReadingsFindingOnlyOtherMessagesAreDropped) {
    Outbox outbox(2);
    outbox.push(message(MessageKind::Frame, "f1"));
    outbox.push(message(MessageKind::Status, "s1"));
    outbox.push(message(MessageKind::Readings, "r1", 3));
    EXPECT_EQ(2u, outbox.size());
    EXPECT_EQ(3u, outbox.misses().readings);
}

TEST(Outbox, NewerFrameReplacesTheWaitingOneAndCountsIt) {
    Outbox outbox(8);
    outbox.push(message(MessageKind::Frame, "f1"));
    outbox.push(message(MessageKind::Readings, "r1", 1));
    outbox.push(message(MessageKind::Frame, "f2"));
    outbox.push(message(MessageKind::Frame, "f3"));
    // One frame waits, in the first frame's place, and it is the newest.
    EXPECT_EQ(2u, outbox.size());
    EXPECT_EQ(2u, outbox.misses().frames);
    EXPECT_EQ(R"({"type":"missed","readings":0,"frames":2})", nextText(outbox));
    auto frame = outbox.next();
    ASSERT_TRUE(frame);
    EXPECT_TRUE(frame->binary());
    EXPECT_EQ("f3", *frame->data);
    EXPECT_EQ("r1", nextText(outbox));
}

TEST(Outbox, FrameWithoutRoomIsCounted) {
    Outbox outbox(1);
    outbox.push(message(MessageKind::Readings, "r1", 1));
    outbox.push(message(MessageKind::Frame, "f1"));
    EXPECT_EQ(1u, outbox.size());
    EXPECT_EQ(1u, outbox.misses().frames);
}

TEST(Outbox, NewerStatusSupersedesWithoutCountingAMiss) {
    Outbox outbox(3);
    outbox.push(message(MessageKind::Status, "s1"));
    outbox.push(message(MessageKind::Status, "s2"));
    outbox.push(message(MessageKind::Readings, "r1", 1));
    outbox.push(message(MessageKind::Readings, "r2", 1));
    outbox.push(message(MessageKind::Status, "s3")); // replaces s2 though the room is full
    EXPECT_EQ("s3", nextText(outbox));
    EXPECT_EQ("r1", nextText(outbox));
    EXPECT_EQ("r2", nextText(outbox));
    EXPECT_EQ(0u, outbox.misses().readings);
    EXPECT_EQ(0u, outbox.misses().frames);
}

TEST(Outbox, HelloIsNeverDropped) {
    Outbox outbox(1);
    outbox.push(message(MessageKind::Status, "s1"));
    outbox.push(message(MessageKind::Hello, "hello"));
    EXPECT_EQ("s1", nextText(outbox));
    EXPECT_EQ("hello", nextText(outbox));
}

TEST(Outbox, LaterMissesAreToldAgainWithTheTotals) {
    Outbox outbox(1);
    outbox.push(message(MessageKind::Readings, "r1", 4));
    outbox.push(message(MessageKind::Readings, "r2", 1));
    EXPECT_EQ(R"({"type":"missed","readings":4,"frames":0})", nextText(outbox));
    EXPECT_EQ("r2", nextText(outbox));
    outbox.push(message(MessageKind::Readings, "r3", 6));
    outbox.push(message(MessageKind::Readings, "r4", 1));
    EXPECT_EQ(R"({"type":"missed","readings":10,"frames":0})", nextText(outbox));
    EXPECT_EQ("r4", nextText(outbox));
}

TEST(Outbox, NeedsRoom) { EXPECT_THROW(Outbox(0), std::invalid_argument); }

} // namespace
