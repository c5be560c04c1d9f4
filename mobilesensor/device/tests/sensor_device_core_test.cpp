#include "conduit/kit/kit.h"
#include "host/channel.h"
#include "host/property_list.h"
#include "mobilesensor/device/sensor_device_core.h"
#include "mobilesensor/device/testing/sample_view.h"
#include "mobilesensor/sample_buffers.h"

#include <gtest/gtest.h>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

// The shared part of the sensor devices, without sockets: what the core does with
// a datagram (the address report, the hand-over of what the parser made of it) and
// its messages. Options, publishing and the listener's cycle are tested through
// both plug-ins (testing/sensor_plugin_suite.cpp).

namespace {

using korvex::host::Options;
using korvex::host::PropertyListOwner;
using korvex::host::scalarValue;
using mobilesensor::AccelerometerDataBuffer;
using mobilesensor::MobileSensorDataBuffer;
using mobilesensor::ParsedDatagram;
using mobilesensor::SensorDeviceCore;
using mobilesensor::testing::ScriptedWrites;

constexpr MobileSensorDataBuffer::App APP = MobileSensorDataBuffer::KINESCOPE_APP;

// An acceleration buffer that counts its destructions, to see the unsent released.
class CountedBuffer final : public AccelerometerDataBuffer {
public:
    CountedBuffer(double x, int& destroyedCount)
        : AccelerometerDataBuffer(APP, x, 0, 0), destroyed(destroyedCount) {}
    ~CountedBuffer() override { ++destroyed; }

private:
    int& destroyed;
};

class SensorDeviceCoreTest : public testing::Test {
protected:
    // Hands a datagram of the given bytes to the core, as the listener does.
    bool feed(const std::string& bytes) {
        boost::shared_array<std::uint8_t> data(new std::uint8_t[bytes.size() + 1]);
        std::copy(bytes.begin(), bytes.end(), data.get());
        return core.onDatagram(data, bytes.size());
    }

    // A reading of n buffers whose x values are 1, 2, ...
    ParsedDatagram readingOf(std::size_t n) {
        ParsedDatagram parsed = ParsedDatagram::reading();
        for (std::size_t i = 0; i < n; ++i)
            parsed.add(new CountedBuffer(static_cast<double>(i + 1), destroyed));
        return parsed;
    }

    // Buffers destroyed; declared first, so that it outlives every buffer.
    int destroyed = 0;
    korvex::host::Channel channel;
    ScriptedWrites writes{channel};
    PropertyListOwner published;
    // What the parser is told to answer; the datagrams it was given.
    std::function<ParsedDatagram()> answer = [] { return ParsedDatagram::rejected(); };
    std::vector<std::string> seen;
    SensorDeviceCore core{channel, "probe", 64, [this](std::uint8_t* data, std::size_t length) {
                              seen.emplace_back(reinterpret_cast<const char*>(data), length);
                              return answer();
                          }};
};

TEST_F(SensorDeviceCoreTest, OpenAndCloseBeforeInitDoNothing) {
    core.open();
    core.close();
    EXPECT_TRUE(channel.properties().empty());
    EXPECT_TRUE(channel.messages().empty());
}

TEST_F(SensorDeviceCoreTest, MessagesCarryIdentifierAndText) {
    core.errorFcn("KORVEX:UDPListener:startUDPServer:unableToOpen", "Cannot start UDP server.");
    core.warnFcn("KORVEX:probe:note", "A note.");
    core.errorFcn("", "");
    const auto messages = channel.messages();
    ASSERT_EQ(3u, messages.size());
    EXPECT_EQ("error", messages[0].type);
    EXPECT_EQ("KORVEX:UDPListener:startUDPServer:unableToOpen", messages[0].id);
    EXPECT_EQ("Cannot start UDP server.", messages[0].text);
    EXPECT_EQ("warning", messages[1].type);
    EXPECT_EQ("KORVEX:probe:note", messages[1].id);
    EXPECT_EQ("", messages[2].id);
}

TEST_F(SensorDeviceCoreTest, FirstDatagramReportsTheAddressOnceEvenWhenRejected) {
    Options options;
    options.set("IPAddress", "127.0.0.1");
    core.init(options, published.list());
    EXPECT_FALSE(feed("not a reading"));
    answer = [this] { return readingOf(1); };
    EXPECT_TRUE(feed("a reading"));
    const auto posts = channel.properties("IPAddress");
    ASSERT_EQ(1u, posts.size());
    // Before any datagram the listener reports the address it was asked to bind.
    EXPECT_EQ("127.0.0.1", scalarValue<std::string>(posts[0].get()).value_or("?"));
    // The parser saw each datagram whole.
    EXPECT_EQ((std::vector<std::string>{"not a reading", "a reading"}), seen);
}

TEST_F(SensorDeviceCoreTest, BuffersGoToTheChannelInTheParsersOrder) {
    answer = [this] { return readingOf(2); };
    EXPECT_TRUE(feed("two"));
    ASSERT_EQ(2u, writes.written.size());
    EXPECT_EQ(1.0, writes.written[0].values[0]);
    EXPECT_EQ(2.0, writes.written[1].values[0]);
    EXPECT_EQ(2u, writes.kept.size());
    EXPECT_EQ(0, destroyed);
}

TEST_F(SensorDeviceCoreTest, ARefusedBufferEndsTheDatagramAndTheRestIsReleased) {
    using V = ScriptedWrites::Verdict;
    const struct {
        std::vector<V> script;
        std::size_t writes;
    } cases[] = {
        {{V::REFUSE}, 1},
        {{V::THROW}, 1},
        {{V::ACCEPT, V::REFUSE}, 2},
        {{V::ACCEPT, V::THROW}, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.writes);
        destroyed = 0;
        answer = [this] { return readingOf(2); };
        writes.play(c.script);
        writes.kept.clear();
        EXPECT_FALSE(feed("two"));
        EXPECT_EQ(c.writes, writes.writes());
        // Everything but what the channel kept is gone: refused, failed or unsent.
        EXPECT_EQ(2, destroyed + static_cast<int>(writes.kept.size()));
        writes.kept.clear();
        EXPECT_EQ(2, destroyed);
    }
}

TEST_F(SensorDeviceCoreTest, ARejectedDatagramIsFalseAReadingWithoutBuffersTrue) {
    EXPECT_FALSE(feed("rejected"));
    answer = [] { return ParsedDatagram::reading(); };
    EXPECT_TRUE(feed("a fix passed over"));
    EXPECT_EQ(0u, writes.writes());
    EXPECT_TRUE(channel.messages().empty());
}

TEST_F(SensorDeviceCoreTest, AParserThatThrowsIsFalseAndTheNextDatagramCounts) {
    answer = []() -> ParsedDatagram { throw std::bad_alloc(); };
    EXPECT_FALSE(feed("no memory"));
    answer = []() -> ParsedDatagram { throw std::runtime_error("malformed"); };
    EXPECT_FALSE(feed("an error"));
    answer = [this] { return readingOf(1); };
    EXPECT_TRUE(feed("a reading"));
    EXPECT_EQ(1u, writes.writes());
    // Nothing is reported: a datagram that cannot be parsed is dropped silently.
    EXPECT_TRUE(channel.messages().empty());
}

} // namespace
