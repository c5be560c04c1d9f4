// sensorstream's arrivals, run as child processes fed by phonesim on 127.0.0.1: a
// walk recorded with --record-datagrams and replayed into a second sensorstream
// gives the same readings; a pause of known length is in the --health report; the
// readings' monotonic times are this computer's monotonic clock.

#include "expected_readings.h"
#include "json_reader.h"
#include "mobilesensor/device/testing/udp_probe.h"
#include "program_runs.h"
#include "tools/arrivals/monotonic_clock.h"
#include "tools/common/child_process.h"
#include "tools/phonesim/recording.h"
#include "tools/phonesim/scenario.h"
#include "tools/sensorstream/sample_record.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;
using kxtools::ChildProcess;
using kxtools::ChildResult;
using mobilesensor::testing::findFreePort;
using sensorstream::SAMPLE_FIELD_NAMES;
using sensorstream::testing::JsonValue;
using sensorstream::testing::parseJson;
using sensorstream::testing::phonesim;
using sensorstream::testing::startSensorstream;

struct TemporaryFile {
    std::string path;
    explicit TemporaryFile(const std::string& name)
        : path(::testing::TempDir() + "sensorstream_arrivals_" + std::to_string(::getpid()) + "_" +
               name) {}
    ~TemporaryFile() { std::remove(path.c_str()); }
    std::string text() const {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream all;
        all << in.rdbuf();
        return all.str();
    }
};

std::vector<JsonValue> jsonLines(const std::string& text) {
    std::vector<JsonValue> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
        lines.push_back(parseJson(line));
    return lines;
}

struct Walk {
    std::uint64_t seed;
    std::size_t datagrams;
};

// How many readings sensorstream makes of phonesim's walks at 100 motion readings a
// second, sent one after the other to one device (whose choice between location
// fixes goes on from one walk to the next).
std::size_t readingsOfWalks(const std::vector<Walk>& walks,
                            phonesim::App app = phonesim::App::Text) {
    std::vector<phonesim::Reading> sent;
    for (const Walk& part : walks) {
        phonesim::ScenarioConfig config;
        config.app = app;
        config.seed = part.seed;
        config.motionRate = 100;
        phonesim::Scenario walk(config);
        for (std::size_t i = 0; i < part.datagrams; ++i)
            sent.push_back(walk.next());
    }
    return sensorstream::testing::expectedReadings(sent).size();
}

class SensorstreamArrivals : public ::testing::TestWithParam<const char*> {};

TEST_P(SensorstreamArrivals, RecordedWalkReplayedIntoASecondSensorstreamGivesTheSameReadings) {
    const std::string app = GetParam();
    constexpr int SENT = 200;
    TemporaryFile recording("walk-" + app + ".txt");

    // A walk received and recorded: every datagram the device accepted.
    const std::uint16_t firstPort = findFreePort();
    auto first = startSensorstream(
        firstPort, {"--app", app, "--record-datagrams", recording.path, "--duration", "30"});
    const auto walk = phonesim(
        firstPort, {"--app", app, "--seed", "9", "--rate", "100", "--count", std::to_string(SENT)});
    ASSERT_EQ(0, walk.exitCode) << walk.err;
    // Every datagram is in once its readings are out.
    ASSERT_TRUE(first->waitForOutputLines(
        readingsOfWalks({{9, SENT}}, app == "text" ? phonesim::App::Text : phonesim::App::Binary),
        20s));
    first->interrupt();
    const auto firstRun = first->wait(30s);
    ASSERT_EQ(0, firstRun.exitCode) << firstRun.err;
    {
        std::ifstream in(recording.path, std::ios::binary);
        const phonesim::Recording recorded = phonesim::readRecording(in);
        ASSERT_EQ(static_cast<std::size_t>(SENT), recorded.datagrams.size());
        EXPECT_TRUE(recorded.arrivalOrigin.has_value());
    }
    EXPECT_NE(std::string::npos, firstRun.err.find("recorded " + std::to_string(SENT) +
                                                   " datagrams of phone to " + recording.path))
        << firstRun.err;

    // Replayed four times as fast into a second sensorstream.
    const auto firstReadings = jsonLines(firstRun.out);
    const std::uint16_t secondPort = findFreePort();
    auto second =
        startSensorstream(secondPort, {"--app", app, "--count",
                                       std::to_string(firstReadings.size()), "--duration", "30"});
    const auto replay = phonesim(secondPort, {"--replay", recording.path, "--speed", "4"});
    ASSERT_EQ(0, replay.exitCode) << replay.err;
    const auto secondRun = second->wait(40s);
    ASSERT_EQ(0, secondRun.exitCode) << secondRun.err;
    const auto secondReadings = jsonLines(secondRun.out);

    // Reading by reading: the same measurement and values; the times are the
    // arrivals', the second run's later by its start.
    ASSERT_EQ(firstReadings.size(), secondReadings.size());
    for (std::size_t i = 0; i < firstReadings.size(); ++i) {
        SCOPED_TRACE("reading " + std::to_string(i));
        for (std::size_t f = 1; f < SAMPLE_FIELD_NAMES.size(); ++f) {
            const JsonValue& a = firstReadings[i].at(SAMPLE_FIELD_NAMES[f]);
            const JsonValue& b = secondReadings[i].at(SAMPLE_FIELD_NAMES[f]);
            ASSERT_EQ(a.kind, b.kind) << SAMPLE_FIELD_NAMES[f];
            ASSERT_EQ(a.number, b.number) << SAMPLE_FIELD_NAMES[f];
        }
        EXPECT_LT(firstReadings[i].at("Monotonic").number,
                  secondReadings[i].at("Monotonic").number);
    }
}

std::string appName(const ::testing::TestParamInfo<const char*>& app) {
    return std::string(app.param) == "text" ? "Text" : "Binary";
}

INSTANTIATE_TEST_SUITE_P(BothApps, SensorstreamArrivals, ::testing::Values("text", "binary"),
                         appName);

// A phone silent for a known time in the middle of its stream: the report's longest
// gap of each motion measurement holds that pause (its readings came before the
// pause began and after it ended, on the clock the test reads too).
TEST(SensorstreamHealth, APauseOfKnownLengthIsTheLongestGap) {
    TemporaryFile health("health.json");
    const double started = arrivals::monotonicNow();
    const std::uint16_t port = findFreePort();
    auto receiver = startSensorstream(port, {"--health", health.path, "--duration", "60"});
    const std::size_t before = readingsOfWalks({{1, 150}});
    const std::size_t after = readingsOfWalks({{1, 150}, {2, 150}}) - before;
    ASSERT_EQ(0, phonesim(port, {"--rate", "100", "--count", "150"}).exitCode);
    // Output after arrival: every reading before the pause has arrived.
    ASSERT_TRUE(receiver->waitForOutputLines(before, 20s));
    const double pauseBegan = arrivals::monotonicNow();
    std::this_thread::sleep_for(2s); // the pause under test, not a wait for a state
    const double pauseEnded = arrivals::monotonicNow();
    ASSERT_EQ(0, phonesim(port, {"--rate", "100", "--count", "150", "--seed", "2"}).exitCode);
    ASSERT_TRUE(receiver->waitForOutputLines(before + after, 20s));
    receiver->interrupt();
    const auto result = receiver->wait(30s);
    ASSERT_EQ(0, result.exitCode) << result.err;
    const double ended = arrivals::monotonicNow();
    EXPECT_NE(std::string::npos, result.err.find("sensorstream: health of phone: ")) << result.err;
    EXPECT_NE(std::string::npos, result.err.find("stream health written to " + health.path))
        << result.err;

    // The readings' times: this computer's monotonic clock, in the order of arrival.
    double previous = started;
    for (const auto& reading : jsonLines(result.out)) {
        const double monotonic = reading.at("Monotonic").number;
        EXPECT_LE(previous, monotonic);
        EXPECT_GE(ended, monotonic);
        previous = monotonic;
    }

    const JsonValue report = parseJson(health.text());
    const auto& phones = report.at("phones").items;
    ASSERT_EQ(1u, phones.size());
    EXPECT_EQ("phone", phones[0].at("phone").text);
    std::size_t motion = 0;
    for (const auto& stream : phones[0].at("measurements").items) {
        const std::string name = stream.at("measurement").text;
        if (name != "acceleration" && name != "magnetic field" && name != "orientation")
            continue;
        SCOPED_TRACE(name);
        ++motion;
        EXPECT_GE(stream.at("readings").number, 90.0);
        EXPECT_GE(stream.at("gaps").number, 1.0);
        const JsonValue& gap = stream.at("longestGap");
        ASSERT_EQ(JsonValue::Kind::Object, gap.kind);
        EXPECT_LE(gap.at("start").number, pauseBegan);
        EXPECT_GE(gap.at("start").number + gap.at("seconds").number, pauseEnded);
        EXPECT_GE(gap.at("seconds").number, pauseEnded - pauseBegan);
    }
    EXPECT_EQ(3u, motion);
}

// --live as a user watches it: while the phone pauses, the table shows its
// measurements silent; once it sends again the pause is a gap, and the last table
// left on the screen gives each row's achieved rate and its longest gap, which is
// the longest interval between the readings' arrivals written to --output.
TEST(SensorstreamHealth, TheLiveTableShowsTheSilenceAndThenTheGap) {
    TemporaryFile output("live.jsonl");
    const std::uint16_t port = findFreePort();
    auto receiver =
        startSensorstream(port, {"--live", "--output", output.path, "--duration", "60"});
    const std::size_t total = readingsOfWalks({{1, 150}, {2, 150}});
    ASSERT_EQ(0, phonesim(port, {"--rate", "100", "--count", "150"}).exitCode);
    std::this_thread::sleep_for(1500ms); // the pause under test, not a wait for a state
    // Only the table's gaps column says ", silent" (the status line says "silent").
    ASSERT_TRUE(receiver->waitForOutput(", silent ", 20s));
    ASSERT_EQ(0, phonesim(port, {"--rate", "100", "--count", "150", "--seed", "2"}).exitCode);
    ASSERT_TRUE(receiver->waitForOutput(std::to_string(total) + " readings", 20s));
    receiver->interrupt();
    const auto result = receiver->wait(30s);
    ASSERT_EQ(0, result.exitCode) << result.err;

    double longest = 0.0;
    std::optional<double> previous;
    for (const auto& reading : jsonLines(output.text())) {
        if (reading.at("Measurement").number != 1.0)
            continue;
        const double arrived = reading.at("Monotonic").number;
        if (previous)
            longest = std::max(longest, arrived - *previous);
        previous = arrived;
    }
    ASSERT_GT(longest, 1.0) << "the pause";

    // The table drawn last: after the last erasing of the one before it.
    const std::size_t erased = result.out.rfind("\033[J");
    ASSERT_NE(std::string::npos, erased) << result.out;
    const std::string last = result.out.substr(erased);
    std::smatch row;
    ASSERT_TRUE(std::regex_search(
        last, row,
        std::regex(R"(\nacceleration +[0-9.]+/s +([0-9.]+)/s  ([0-9]+), longest ([0-9.]+) s)")))
        << last;
    EXPECT_GT(std::stod(row[1]), 0.0) << "readings a second";
    EXPECT_GE(std::stoul(row[2]), 1u);
    // To the hundredth shown, the arrivals to the microsecond written.
    EXPECT_NEAR(longest, std::stod(row[3]), 0.0051);
}

} // namespace

namespace {

// A second phone sending to the same port is not heard: the recording and the
// stream health's readings hold the accepted phone's datagrams alone, and the
// health's datagram accounting counts the second phone's and a malformed one apart.
TEST(SensorstreamArrivals, ASecondSenderIsNeitherRecordedNorCounted) {
    TemporaryFile recording("first-phone.txt");
    TemporaryFile health("first-phone-health.json");
    const std::uint16_t port = findFreePort();
    auto receiver = startSensorstream(
        port, {"--record-datagrams", recording.path, "--health", health.path, "--duration", "60"});
    ASSERT_EQ(0, phonesim(port, {"--rate", "100", "--count", "60"}).exitCode);
    const std::size_t first = readingsOfWalks({{1, 60}});
    const std::size_t both = readingsOfWalks({{1, 60}, {5, 60}});
    ASSERT_TRUE(receiver->waitForOutputLines(first, 20s));
    ASSERT_EQ(
        0, phonesim(port, {"--rate", "100", "--count", "90", "--seed", "4", "--bind", "127.0.0.2"})
               .exitCode);
    // From the accepted phone's address: delivered, and rejected by the parser.
    mobilesensor::testing::DatagramSender("127.0.0.1").send(port, std::string("no reading\n"));
    // The accepted phone again, so that everything before it has been read.
    ASSERT_EQ(0, phonesim(port, {"--rate", "100", "--count", "60", "--seed", "5"}).exitCode);
    ASSERT_TRUE(receiver->waitForOutputLines(both, 20s));
    receiver->interrupt();
    const auto result = receiver->wait(30s);
    ASSERT_EQ(0, result.exitCode) << result.err;

    EXPECT_EQ(both, jsonLines(result.out).size());
    std::ifstream in(recording.path, std::ios::binary);
    // The accepted phone's: its two walks and the malformed datagram, as it sent them.
    EXPECT_EQ(121u, phonesim::readRecording(in).datagrams.size());
    // The report is held by name: a range-for over a member of the temporary would
    // read freed memory.
    const JsonValue report = parseJson(health.text());
    double readings = 0.0;
    for (const auto& stream : report.at("phones").items.at(0).at("measurements").items)
        readings += stream.at("readings").number;
    EXPECT_EQ(static_cast<double>(both), readings);
    const JsonValue& datagrams = report.at("phones").items.at(0).at("datagrams");
    EXPECT_EQ(121.0, datagrams.at("delivered").number);
    EXPECT_EQ(90.0, datagrams.at("fromOtherSenders").number);
    EXPECT_EQ(1.0, datagrams.at("malformed").number);
    EXPECT_EQ(0.0, datagrams.at("droppedBySystem").number);
    EXPECT_NE(std::string::npos,
              result.err.find("health of phone: datagrams 121 delivered, 90 from another "
                              "sender, 1 malformed, 0 dropped by the system"))
        << result.err;
}

} // namespace

#ifdef CAMGRAB_PATH
namespace {

// Frames grabbed between two parts of a phone's stream, on this test's one thread:
// their monotonic times fall between the readings of the first part and those of
// the second, which holds only when both programs read one clock.
TEST(OneTimeline, FramesGrabbedBetweenReadingsFallBetweenThem) {
    const std::uint16_t port = findFreePort();
    auto receiver = startSensorstream(port, {"--duration", "60"});
    const std::size_t before = readingsOfWalks({{1, 60}});
    const std::size_t after = readingsOfWalks({{1, 60}, {3, 60}}) - before;
    ASSERT_EQ(0, phonesim(port, {"--rate", "100", "--count", "60"}).exitCode);
    ASSERT_TRUE(receiver->waitForOutputLines(before, 20s));

    const auto frames =
        kxtools::runChild({CAMGRAB_PATH, "--frames", "3", "--output-dir",
                           ::testing::TempDir() + "one_timeline_" + std::to_string(::getpid())},
                          60s);
    ASSERT_EQ(0, frames.exitCode) << frames.err;
    std::vector<double> frameTimes;
    const std::regex arrival(R"(\(arrived at monotonic ([0-9.]+) s\))");
    for (auto it = std::sregex_iterator(frames.out.begin(), frames.out.end(), arrival);
         it != std::sregex_iterator(); ++it)
        frameTimes.push_back(std::stod((*it)[1]));
    ASSERT_EQ(3u, frameTimes.size()) << frames.out;

    ASSERT_EQ(0, phonesim(port, {"--rate", "100", "--count", "60", "--seed", "3"}).exitCode);
    ASSERT_TRUE(receiver->waitForOutputLines(before + after, 20s));
    receiver->interrupt();
    const auto result = receiver->wait(30s);
    ASSERT_EQ(0, result.exitCode) << result.err;
    const auto readings = jsonLines(result.out);
    ASSERT_EQ(before + after, readings.size());

    const double lastBefore = readings[before - 1].at("Monotonic").number;
    const double firstAfter = readings[before].at("Monotonic").number;
    for (std::size_t i = 0; i < frameTimes.size(); ++i) {
        EXPECT_LT(lastBefore, frameTimes[i]) << "frame " << i;
        EXPECT_GT(firstAfter, frameTimes[i]) << "frame " << i;
    }
}

} // namespace
#endif
