#include "host/channel.h"
#include "host/property_list.h"
#include "kinescope/device.h"
#include "mobilesensor/device/testing/sample_view.h"
#include "mobilesensor/sample_buffers.h"
#include "record.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

// The device's parser without a channel: what each record yields and the validity
// rules; then its data callback driven directly on the stand-in channel: the
// short-circuits when the channel refuses a buffer and the address report. The
// loaded plug-in is tested in plugin_test.cpp.

namespace {

using kinescope_test::record;
using korvex::host::BufferPtr;
using mobilesensor::MobileSensorDataBuffer;
using mobilesensor::ParsedDatagram;
using mobilesensor::testing::describe;
using mobilesensor::testing::Sample;
using mobilesensor::testing::ScriptedWrites;

constexpr std::int32_t APP = MobileSensorDataBuffer::KINESCOPE_APP;

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

using DevicePtr = std::unique_ptr<kinescope::Device, conduit::kit::Releaser>;

// The record in an array of exactly its size (the device reads it in place).
bool feed(kinescope::Device& device, const std::vector<std::uint8_t>& bytes) {
    boost::shared_array<std::uint8_t> data(new std::uint8_t[bytes.size() + 1]);
    std::copy(bytes.begin(), bytes.end(), data.get());
    return device.onDatagram(data, bytes.size());
}

// The record in an array of exactly its size (the parser reads it in place).
ParsedDatagram parse(const std::vector<std::uint8_t>& bytes) {
    const std::unique_ptr<std::uint8_t[]> data(new std::uint8_t[bytes.size()]);
    std::copy(bytes.begin(), bytes.end(), data.get());
    return kinescope::RecordParser().parse(data.get(), bytes.size());
}

std::vector<Sample> samples(const ParsedDatagram& parsed) {
    std::vector<Sample> all;
    for (std::size_t i = 0; i < parsed.size(); ++i)
        all.push_back(describe(parsed[i]));
    return all;
}

// A buffer a record should yield: its kind and values (the app is always this one).
struct Expected {
    char kind;
    std::vector<double> values;
};

TEST(KinescopeParser, EachTypeCodeBuildsItsBuffersInOrder) {
    const struct {
        const char* name;
        std::vector<std::uint8_t> bytes;
        bool result;
        std::vector<Expected> pushed;
    } cases[] = {
        {"acceleration in units of gravity",
         record(0x20, {1.0, 0.0, -0.5}),
         true,
         {{'A', {9.81, 0.0, -4.905}}}},
        {"rotation rate unchanged",
         record(0x30, {0.25, -1e-300, 3e10}),
         true,
         {{'G', {0.25, -1e-300, 3e10}}}},
        {"heading, then the field in millionths",
         record(0x10, {271.5, 270.25, 5.0, 30.0, -12.0, 48.0}),
         true,
         {{'T', {271.5, 270.25, 5.0}}, {'M', {30.0 / 1e6, -12.0 / 1e6, 48.0 / 1e6}}}},
        {"heading accuracy 0 is valid",
         record(0x10, {1, 2, 0.0, 4, 5, 6}),
         true,
         {{'T', {1, 2, 0.0}}, {'M', {4 / 1e6, 5 / 1e6, 6 / 1e6}}}},
        {"negative heading accuracy: the field only",
         record(0x10, {1, 2, -1.0, 4, 5, 6}),
         true,
         {{'M', {4 / 1e6, 5 / 1e6, 6 / 1e6}}}},
        {"NaN heading accuracy: the field only",
         record(0x10, {1, 2, NaN, 4, 5, 6}),
         true,
         {{'M', {4 / 1e6, 5 / 1e6, 6 / 1e6}}}},
        {"location: horizontal, then vertical",
         record(0x40, {51.5, -0.125, 35.5, 10.0, 3.0, 90.0, 1.5}),
         true,
         {{'H', {51.5, -0.125, 10.0, 90.0, 1.5}}, {'V', {35.5, 3.0}}}},
        {"location with zero accuracies",
         record(0x40, {1, 2, 3, 0.0, 0.0, 6, 7}),
         true,
         {{'H', {1, 2, 0.0, 6, 7}}, {'V', {3, 0.0}}}},
        {"negative vertical accuracy: nothing, and true",
         record(0x40, {1, 2, 3, 4, -1.0, 6, 7}),
         true,
         {}},
        {"negative horizontal accuracy: nothing, and true",
         record(0x40, {1, 2, 3, -1.0, 5, 6, 7}),
         true,
         {}},
        {"NaN accuracy: nothing, and true", record(0x40, {1, 2, 3, 4, NaN, 6, 7}), true, {}},
        {"41 bytes of acceleration", record(0x20, {1, 2, 3}, 41), false, {}},
        {"39 bytes of acceleration", record(0x20, {1, 2, 3}, 39), false, {}},
        {"72 bytes of rotation rate", record(0x30, {1, 2, 3}, 72), false, {}},
        {"72 bytes of heading", record(0x10, {1, 2, 3, 4, 5, 6}, 72), false, {}},
        {"63 bytes of heading", record(0x10, {1, 2, 3, 4, 5, 6}, 63), false, {}},
        {"64 bytes of location", record(0x40, {1, 2, 3, 4, 5, 6, 7}, 64), false, {}},
        {"unknown type 0x50", record(0x50, {1, 2, 3}), false, {}},
        {"unknown type 0x00", record(0x00, {1, 2, 3}), false, {}},
        {"unknown type 0x21", record(0x21, {1, 2, 3}), false, {}},
        {"8 bytes", record(0x20, {}, 8), false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ParsedDatagram parsed = parse(c.bytes);
        EXPECT_EQ(c.result, parsed.isReading());
        const std::vector<Sample> pushed = samples(parsed);
        ASSERT_EQ(c.pushed.size(), pushed.size());
        for (std::size_t i = 0; i < pushed.size(); ++i) {
            EXPECT_EQ(c.pushed[i].kind, pushed[i].kind) << i;
            EXPECT_EQ(APP, pushed[i].app) << i;
            ASSERT_EQ(c.pushed[i].values.size(), pushed[i].values.size()) << i;
            for (std::size_t j = 0; j < pushed[i].values.size(); ++j)
                EXPECT_DOUBLE_EQ(c.pushed[i].values[j], pushed[i].values[j]) << i << "/" << j;
        }
    }
}

TEST(KinescopeParser, ScalingIsExact) {
    // Multiplying and dividing, not an approximation of them.
    const auto acceleration = samples(parse(record(0x20, {1.0, 0.1, -0.5})));
    const auto heading = samples(parse(record(0x10, {1, 2, 3, 30.0, 0.1, -48.0})));
    ASSERT_EQ(1u, acceleration.size());
    ASSERT_EQ(2u, heading.size());
    EXPECT_PRED2(mobilesensor::testing::sameSample, (Sample{'A', APP, {9.81, 0.1 * 9.81, -4.905}}),
                 acceleration[0]);
    EXPECT_PRED2(mobilesensor::testing::sameSample,
                 (Sample{'M', APP, {30.0 / 1000000.0, 0.1 / 1000000.0, -48.0 / 1000000.0}}),
                 heading[1]);
}

TEST(KinescopeParser, DatagramsShorterThanEightBytesAreRejectedWhateverFollows) {
    // A whole acceleration record lies in the array; only its first bytes arrived.
    const auto bytes = record(0x20, {1, 2, 3});
    for (std::size_t length = 0; length < 8; ++length) {
        const ParsedDatagram parsed = kinescope::RecordParser().parse(bytes.data(), length);
        EXPECT_FALSE(parsed.isReading()) << length;
        EXPECT_EQ(0u, parsed.size()) << length;
    }
}

TEST(KinescopeDevice, RefusedOrFailedWritesStopTheRecord) {
    using V = ScriptedWrites::Verdict;
    const auto heading = record(0x10, {1, 2, 3, 4, 5, 6});
    const auto invalidHeading = record(0x10, {1, 2, -3, 4, 5, 6});
    const auto location = record(0x40, {1, 2, 3, 4, 5, 6, 7});
    const struct {
        const char* name;
        std::vector<std::uint8_t> bytes;
        std::vector<V> script;
        std::size_t writes;
        std::string kept;
    } cases[] = {
        {"acceleration refused", record(0x20, {1, 2, 3}), {V::REFUSE}, 1, ""},
        {"rotation rate throws", record(0x30, {1, 2, 3}), {V::THROW}, 1, ""},
        {"heading refused: no field", heading, {V::REFUSE}, 1, ""},
        {"heading throws: no field", heading, {V::THROW}, 1, ""},
        {"field refused", heading, {V::ACCEPT, V::REFUSE}, 2, "T"},
        {"field alone refused", invalidHeading, {V::REFUSE}, 1, ""},
        {"horizontal refused: no vertical", location, {V::REFUSE}, 1, ""},
        {"horizontal throws: no vertical", location, {V::THROW}, 1, ""},
        {"vertical refused", location, {V::ACCEPT, V::REFUSE}, 2, "H"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        korvex::host::Channel channel;
        ScriptedWrites writes(channel);
        writes.play(c.script);
        DevicePtr device{new kinescope::Device(channel)};
        EXPECT_FALSE(feed(*device, c.bytes));
        EXPECT_EQ(c.writes, writes.writes());
        EXPECT_EQ(c.kept, mobilesensor::testing::kinds(writes.kept));
    }
}

TEST(KinescopeDevice, AddressIsReportedForTheFirstRecordEvenARejectedOne) {
    korvex::host::Channel channel;
    DevicePtr device{new kinescope::Device(channel)};
    EXPECT_FALSE(feed(*device, record(0x50, {})));
    EXPECT_TRUE(feed(*device, record(0x20, {1, 2, 3})));
    EXPECT_EQ(1u, channel.properties("IPAddress").size());
    EXPECT_EQ(1u, channel.properties().size());
}

TEST(KinescopeDevice, EmptyDatagramIsRejected) {
    korvex::host::Channel channel;
    DevicePtr device{new kinescope::Device(channel)};
    EXPECT_FALSE(device->onDatagram(boost::shared_array<std::uint8_t>(), 0));
    EXPECT_EQ(0u, channel.writeCount());
}

} // namespace
