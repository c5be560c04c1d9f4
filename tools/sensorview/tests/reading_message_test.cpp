// The readings message: every set field of each reading with its measurement and
// the time stamp in milliseconds, as JSON that reads back to the same numbers.

#include "tools/sensorstream/tests/json_reader.h"
#include "tools/sensorstream/tests/sample_structures.h"
#include "tools/sensorview/reading_message.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

using sensorstream::testing::MARCH_2_2014;
using sensorstream::testing::parseJson;
using sensorstream::testing::sampleRecord;
using sensorview::ReadingMessage;
using sensorview::wallClockMilliseconds;

TEST(WallClock, CountsMillisecondsFromTheEpochAsIfUtc) {
    EXPECT_EQ(0.0, *wallClockMilliseconds({1970, 1, 1, 0, 0, 0.0}));
    EXPECT_EQ(1704067200250.0, *wallClockMilliseconds({2024, 1, 1, 0, 0, 0.25}));
    // A leap day, and the end of a leap year.
    EXPECT_EQ(1709208000000.0, *wallClockMilliseconds({2024, 2, 29, 12, 0, 0.0}));
    EXPECT_EQ(1735689599999.0, *wallClockMilliseconds({2024, 12, 31, 23, 59, 59.999}));
    EXPECT_EQ(1393755330250.0, *wallClockMilliseconds(MARCH_2_2014));
}

TEST(WallClock, RefusesWhatIsNoDate) {
    EXPECT_FALSE(wallClockMilliseconds({2024, 13, 1, 0, 0, 0}));
    EXPECT_FALSE(wallClockMilliseconds({2024, 1, 0, 0, 0, 0}));
    EXPECT_FALSE(wallClockMilliseconds({2024, 1, 1, 24, 0, 0}));
    EXPECT_FALSE(wallClockMilliseconds({2024, 1, 1, 0, 0, NAN}));
    EXPECT_FALSE(wallClockMilliseconds({0, 0, 0, 0, 0, 0}));
}

TEST(ReadingMessage, HoldsEveryReadingWithItsSetFields) {
    ReadingMessage message("walk");
    message.add(sampleRecord(1, MARCH_2_2014, {{"X", 0.125}, {"Y", -9.81}, {"Z", 1e-7}}));
    message.add(sampleRecord(4, MARCH_2_2014,
                             {{"Latitude", 48.1234567}, {"Longitude", 11.5}, {"Speed", NAN}}));
    EXPECT_EQ(2u, message.count());

    const auto json = parseJson(message.take());
    EXPECT_EQ("readings", json.at("type").text);
    EXPECT_EQ("walk", json.at("phone").text);
    const auto& readings = json.at("r").items;
    ASSERT_EQ(2u, readings.size());
    // [measurement, time, fields]; only the fields the reading sets.
    EXPECT_EQ(1.0, readings[0].items[0].number);
    EXPECT_EQ(1393755330250.0, readings[0].items[1].number);
    const auto& accel = readings[0].items[2];
    ASSERT_EQ(3u, accel.members.size());
    EXPECT_EQ(0.125, accel.at("X").number);
    EXPECT_EQ(-9.81, accel.at("Y").number);
    EXPECT_EQ(1e-7, accel.at("Z").number);
    const auto& fix = readings[1].items[2];
    EXPECT_EQ(48.1234567, fix.at("Latitude").number);
    EXPECT_EQ(11.5, fix.at("Longitude").number);
    // JSON has no NaN: a value that is not a number is null.
    EXPECT_EQ(sensorstream::testing::JsonValue::Kind::Null, fix.at("Speed").kind);
}

TEST(ReadingMessage, TakeStartsAnEmptyMessage) {
    ReadingMessage message("desk");
    message.add(sampleRecord(2, MARCH_2_2014, {{"X", 1.0}}));
    message.take();
    EXPECT_EQ(0u, message.count());
    const auto json = parseJson(message.take());
    EXPECT_EQ("desk", json.at("phone").text);
    EXPECT_TRUE(json.at("r").items.empty());
}

TEST(ReadingMessage, InvalidTimeStampIsNull) {
    ReadingMessage message("p");
    message.add(sampleRecord(1, {2024, 13, 40, 0, 0, 0}, {{"X", 1.0}}));
    const auto json = parseJson(message.take());
    EXPECT_EQ(sensorstream::testing::JsonValue::Kind::Null, json.at("r").items[0].items[1].kind);
}

} // namespace
