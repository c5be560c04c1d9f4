#include "host/channel.h"
#include "host/property_list.h"
#include "kinedgram/device.h"
#include "mobilesensor/device/testing/sample_view.h"
#include "mobilesensor/sample_buffers.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

// The device's parser without a channel: what each datagram yields and the fix
// selection seen as buffers; then its data callback driven directly on the
// stand-in channel: what is dropped, the short-circuits when the channel refuses a
// buffer, and the state kept across init. The loaded plug-in is tested in
// plugin_test.cpp.

namespace {

using korvex::host::BufferPtr;
using mobilesensor::AccelerometerDataBuffer;
using mobilesensor::HorizontalLocationDataBuffer;
using mobilesensor::MagnetometerDataBuffer;
using mobilesensor::MobileSensorDataBuffer;
using mobilesensor::OrientationDataBuffer;
using mobilesensor::ParsedDatagram;
using mobilesensor::VerticalLocationDataBuffer;
using mobilesensor::testing::describe;
using mobilesensor::testing::Sample;
using mobilesensor::testing::ScriptedWrites;

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

std::string number(double value) {
    if (std::isnan(value))
        return "NaN";
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

// A location datagram as the app sends it, with a terminator byte.
std::string fix(char kind, double time, double accuracy, double speed, double altitude = 35.5,
                double latitude = 51.5, double longitude = -0.125) {
    return std::string(1, kind) + ",1,2," + number(altitude) + "," + number(latitude) + "," +
           number(longitude) + "," + number(time) + "," + number(accuracy) + "," + number(speed) +
           "\n";
}

// The kinds of the buffers, one letter each (A, M, O, H, V); "?" for a buffer that is
// not from this app.
std::string kinds(const std::vector<BufferPtr>& buffers) {
    std::string letters;
    for (const Sample& s : describe(buffers))
        letters += s.app == MobileSensorDataBuffer::KINEDGRAM_APP ? s.kind : '?';
    return letters;
}

// The datagram in an array of exactly its size, as the listener hands it over (the
// parser overwrites its last byte).
ParsedDatagram parse(kinedgram::TextParser& parser, const std::string& datagram) {
    const std::unique_ptr<std::uint8_t[]> data(new std::uint8_t[datagram.size()]);
    std::memcpy(data.get(), datagram.data(), datagram.size());
    return parser.parse(data.get(), datagram.size());
}

// The buffers a parsed datagram holds, as the channel would take them.
std::vector<BufferPtr> takeAll(ParsedDatagram& parsed) {
    std::vector<BufferPtr> buffers;
    for (std::size_t i = 0; i < parsed.size(); ++i)
        buffers.emplace_back(parsed.release(i));
    return buffers;
}

class KinedgramParser : public testing::Test {
protected:
    // Whether the datagram was a reading; its buffers go to pushed.
    bool feed(const std::string& datagram) {
        ParsedDatagram parsed = parse(parser, datagram);
        for (BufferPtr& buffer : takeAll(parsed))
            pushed.push_back(std::move(buffer));
        return parsed.isReading();
    }

    kinedgram::TextParser parser;
    std::vector<BufferPtr> pushed;
};

class KinedgramDevice : public testing::Test {
protected:
    // The datagram in an array of exactly its size, as the listener hands it over
    // (the device overwrites its last byte).
    bool feed(const std::string& datagram) {
        boost::shared_array<std::uint8_t> data(new std::uint8_t[datagram.size() + 1]);
        std::memcpy(data.get(), datagram.data(), datagram.size());
        return device->onDatagram(data, datagram.size());
    }

    korvex::host::Channel channel;
    std::unique_ptr<kinedgram::Device, conduit::kit::Releaser> device{
        new kinedgram::Device(channel)};
};

TEST_F(KinedgramParser, MotionKindsYieldOneBufferWithTheValuesSent) {
    // 19 characters and a terminator.
    ASSERT_TRUE(feed("A,1,2,0.5,-9.81,0.0\n"));
    // The magnetic field is scaled to a millionth.
    ASSERT_TRUE(feed("M,1,2,30000000,0,-45000000\n"));
    ASSERT_TRUE(feed("O,1,2,271.5,-12.25,inf\n"));
    const auto& buffers = pushed;
    ASSERT_EQ("AMO", kinds(buffers));

    double x, y, z;
    static_cast<const AccelerometerDataBuffer*>(buffers[0].get())->getData(x, y, z);
    EXPECT_EQ(0.5, x);
    EXPECT_EQ(-9.81, y);
    EXPECT_EQ(0.0, z);
    MagnetometerDataBuffer::Magnetometer field{};
    static_cast<const MagnetometerDataBuffer*>(buffers[1].get())->getData(field);
    EXPECT_EQ(30.0, field.x);
    EXPECT_EQ(0.0, field.y);
    EXPECT_EQ(-45.0, field.z);
    static_cast<const OrientationDataBuffer*>(buffers[2].get())->getData(x, y, z);
    EXPECT_EQ(271.5, x);
    EXPECT_EQ(-12.25, y);
    EXPECT_EQ(std::numeric_limits<double>::infinity(), z);
}

TEST_F(KinedgramDevice, MalformedDatagramsPushNothing) {
    const std::string cases[] = {
        "",                                           // nothing at all
        "a,1,2,3.5,4.5,5.5\n",                        // kinds are upper case
        "1,1,2,3.5,4.5,5.5\n",                        // a digit
        "X,1,2,3.5,4.5,5.5\n",                        // no such kind
        "A,1,2,3,4,55.5\n",                           // six fields, but 15 bytes
        "A,1,2,3.25\\x,4.5,5.5\n",                    // an escape the format does not know
        "A,1,2,3.25,4.5,5.5\\\n",                     // a backslash at the very end of the text
        "A,1,2,3.5,4.5,5.5,6\n",                      // seven fields
        "A,1,2,3.5,4.5,Nan\n",                        // a mixed-case spelling
        "A,1,2,\"1,5\",4.5,5.5\n",                    // a quoted comma: one field, no number
        "G,1,2,3.5,4.5,5.5,6.5,7.5\n",                // eight fields
        "G,1,2,3.5,4.5,5.5,6.5,7.5,8.5,9\n",          // ten fields
        "N,1,2,3.5,4.5,5.5,6.5,7.5,1e\n",             // a number cut short
        std::string("A,1,2,3.5,4.5\0,5.5,6.5\n", 23), // the text ends at the first NUL
    };
    for (const std::string& datagram : cases)
        EXPECT_FALSE(feed(datagram)) << datagram;
    EXPECT_EQ(0u, channel.writeCount());
    // No bad datagram makes a message; the address is reported for the first one.
    EXPECT_TRUE(channel.messages().empty());
    EXPECT_EQ(1u, channel.properties("IPAddress").size());
    // A rejected location fix leaves the selection as it was.
    EXPECT_EQ(kinedgram::FIX_SOURCE_NONE, device->getParser().getFixState().lastFixSource);
}

TEST_F(KinedgramParser, FirstFixYieldsHorizontalThenVerticalValues) {
    ASSERT_TRUE(feed(fix('G', 1000, 10, 1.5, 35.5, 51.5, -0.125)));
    const auto& buffers = pushed;
    ASSERT_EQ("HV", kinds(buffers));
    HorizontalLocationDataBuffer::Location horizontal{};
    static_cast<const HorizontalLocationDataBuffer*>(buffers[0].get())->getData(horizontal);
    EXPECT_EQ(51.5, horizontal.latitude);
    EXPECT_EQ(-0.125, horizontal.longitude);
    EXPECT_EQ(10.0, horizontal.horizontalAccuracy);
    EXPECT_EQ(0.0, horizontal.course);
    EXPECT_EQ(1.5, horizontal.speed);
    VerticalLocationDataBuffer::Location vertical{};
    static_cast<const VerticalLocationDataBuffer*>(buffers[1].get())->getData(vertical);
    EXPECT_EQ(35.5, vertical.altitude);
    EXPECT_EQ(0.0, vertical.verticalAccuracy);
    EXPECT_EQ(kinedgram::FIX_SOURCE_G, parser.getFixState().lastFixSource);
    EXPECT_EQ(10.0, parser.getFixState().lastFixAccuracy);
    EXPECT_EQ(1000.0, parser.getFixState().lastFixTime);
}

struct Step {
    std::string datagram;
    bool result;
    std::string buffers; // kinds yielded, in order
};

struct Sequence {
    const char* name;
    std::vector<Step> steps;
};

void PrintTo(const Sequence& sequence, std::ostream* out) { *out << sequence.name; }

class KinedgramFixSequence : public testing::TestWithParam<Sequence> {};

TEST_P(KinedgramFixSequence, YieldsWhatTheSelectionTakes) {
    kinedgram::TextParser parser;
    int index = 0;
    for (const Step& step : GetParam().steps) {
        ParsedDatagram parsed = parse(parser, step.datagram);
        EXPECT_EQ(step.result, parsed.isReading()) << "step " << index;
        EXPECT_EQ(step.buffers, kinds(takeAll(parsed))) << "step " << index;
        ++index;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, KinedgramFixSequence,
    testing::Values(
        Sequence{"FirstFixIsTakenWhateverItsAccuracy", {{fix('N', -5e9, 1e9, 0), true, "HV"}}},
        // Speed 0 counts as 1/3 m/s: a worse fix of the same kind waits 30 s.
        Sequence{"WorseFixWaitsThirtySecondsAtRest",
                 {{fix('G', 0, 5, 0), true, "HV"},
                  {fix('G', 20000, 20, 0), true, ""},
                  {fix('G', 29999, 20, 0), true, ""},
                  {fix('G', 30000, 20, 0), true, "HV"}}},
        // Twice as long when the kind changes.
        Sequence{"OtherKindWaitsTwiceAsLong",
                 {{fix('G', 0, 5, 0), true, "HV"},
                  {fix('N', 30000, 20, 0), true, ""},
                  {fix('N', 59999, 20, 0), true, ""},
                  {fix('N', 60000, 20, 0), true, "HV"}}},
        Sequence{"SpeedShortensTheWait",
                 {{fix('G', 0, 5, 0), true, "HV"},
                  {fix('G', 4999, 20, 2), true, ""},
                  {fix('G', 5000, 20, 2), true, "HV"}}},
        Sequence{"EqualOrBetterAccuracyIsTakenAtOnce",
                 {{fix('G', 0, 5, 0), true, "HV"},
                  {fix('N', 1, 5, 0), true, "HV"},
                  {fix('G', 2, 4.5, 0), true, "HV"}}},
        // More than 2 s before the last fix: never, even when better.
        Sequence{"FixesMoreThanTwoSecondsBackAreNeverTaken",
                 {{fix('G', 10000, 5, 0), true, "HV"},
                  {fix('G', 7999, 1, 0), true, ""},
                  {fix('N', 0, 0, 0), true, ""},
                  {fix('G', 8000, 1, 0), true, "HV"}}},
        // Without a usable accuracy an N fix shows its height only.
        Sequence{"NWithNegativeAccuracyPushesTheVerticalBufferOnly",
                 {{fix('N', 0, -1, 0), true, "V"}, {fix('N', 1, -2, 0), true, "V"}}},
        Sequence{"NWithNaNAccuracyPushesTheVerticalBufferOnly", {{fix('N', 0, NaN, 0), true, "V"}}},
        // A G fix without a usable accuracy pushes nothing but is the last fix: a
        // worse one soon after is judged against it.
        Sequence{"GWithNegativeAccuracyPushesNothingButCounts",
                 {{fix('G', 0, -1, 0), true, ""},
                  {fix('G', 1000, 20, 0), true, ""},
                  {fix('G', 2000, -2, 0), true, ""},
                  {fix('N', 3000, -3, 0), true, "V"}}},
        Sequence{"GWithNaNAccuracyPushesNothingButCounts",
                 {{fix('G', 0, NaN, 0), true, ""}, {fix('G', 0, 5, 0), true, ""}}},
        // A NaN time or speed never blocks a fix through the time test.
        Sequence{"NaNTimeOrSpeedLetsAWorseFixThrough",
                 {{fix('G', 0, 5, 0), true, "HV"},
                  {fix('G', NaN, 20, 0), true, "HV"},
                  {fix('G', 0, 30, NaN), true, "HV"}}},
        // A fix that does not parse is not a fix.
        Sequence{"BadFixChangesNothing",
                 {{fix('G', 0, 5, 0), true, "HV"},
                  {"G,1,2,3.5,4.5,5.5,1000.5,1.5,x\n", false, ""},
                  {fix('G', 1000, 20, 0), true, ""}}}),
    [](const testing::TestParamInfo<Sequence>& sequence) {
        return std::string(sequence.param.name);
    });

TEST_F(KinedgramDevice, RefusedOrFailedWritesStopTheDatagram) {
    using V = ScriptedWrites::Verdict;
    const struct {
        std::string datagram;
        std::vector<V> script;
        std::size_t writes;
        std::string kept;
    } cases[] = {
        {"A,1,2,3.5,4.5,5.5\n", {V::REFUSE}, 1, ""},
        {"M,1,2,3.5,4.5,5.5\n", {V::THROW}, 1, ""},
        {fix('G', 0, 5, 0), {V::REFUSE}, 1, ""}, // no vertical buffer after it
        {fix('G', 0, 5, 0), {V::ACCEPT, V::REFUSE}, 2, "H"},
        {fix('G', 0, 5, 0), {V::THROW}, 1, ""},
        {fix('N', 0, 5, 0), {V::REFUSE}, 1, ""},
        {fix('N', 0, 5, 0), {V::ACCEPT, V::THROW}, 2, "H"},
        {fix('N', 0, -1, 0), {V::REFUSE}, 1, ""},
    };
    for (const auto& c : cases) {
        korvex::host::Channel scripted;
        ScriptedWrites writes(scripted);
        writes.play(c.script);
        std::unique_ptr<kinedgram::Device, conduit::kit::Releaser> fresh{
            new kinedgram::Device(scripted)};
        boost::shared_array<std::uint8_t> data(new std::uint8_t[c.datagram.size()]);
        std::memcpy(data.get(), c.datagram.data(), c.datagram.size());
        EXPECT_FALSE(fresh->onDatagram(data, c.datagram.size())) << c.datagram;
        EXPECT_EQ(c.writes, writes.writes()) << c.datagram;
        EXPECT_EQ(c.kept, kinds(writes.kept)) << c.datagram;
    }
}

TEST_F(KinedgramDevice, RefusedFixIsStillTheLastFix) {
    channel.setAcceptWrites(false);
    EXPECT_FALSE(feed(fix('G', 0, 5, 0)));
    channel.setAcceptWrites(true);
    // Judged against the refused fix: worse and too soon.
    EXPECT_TRUE(feed(fix('G', 1000, 20, 0)));
    EXPECT_EQ(1u, channel.writeCount());
}

TEST_F(KinedgramDevice, FixSelectionSurvivesInitAndTheAddressIsReportedOnce) {
    ASSERT_TRUE(feed(fix('G', 0, 5, 0)));
    korvex::host::PropertyListOwner published;
    device->init(korvex::host::Options(), published.list());
    device->init(korvex::host::Options(), published.list());
    EXPECT_EQ(kinedgram::FIX_SOURCE_G, device->getParser().getFixState().lastFixSource);
    // Still judged against the fix from before init: worse and too soon.
    EXPECT_TRUE(feed(fix('G', 1000, 20, 0)));
    EXPECT_EQ(2u, channel.writeCount());
    // One report, for the first datagram; only open starts a new period.
    EXPECT_EQ(1u, channel.properties("IPAddress").size());
}

} // namespace
