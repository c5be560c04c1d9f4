// The sensorstream program run as a child process, fed by phonesim on 127.0.0.1:
// every datagram sent must come out as the structures the device and the
// converter make of it, in order, with nothing lost between channel and output.

#include "expected_readings.h"
#include "json_reader.h"
#include "mobilesensor/device/testing/udp_probe.h"
#include "program_runs.h"
#include "tools/common/child_process.h"
#include "tools/phonesim/datagram_encoder.h"
#include "tools/phonesim/recording.h"
#include "tools/phonesim/scenario.h"
#include "tools/sensorstream/sample_record.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;
using kxtools::ChildProcess;
using kxtools::ChildResult;
using mobilesensor::testing::findFreePort;
using phonesim::App;
using sensorstream::SAMPLE_FIELD_NAMES;
using sensorstream::testing::ExpectedReading;
using sensorstream::testing::expectedReadings;
using sensorstream::testing::JsonValue;
using sensorstream::testing::linesOf;
using sensorstream::testing::parseJson;
using sensorstream::testing::phonesim;
using sensorstream::testing::startSensorstream;

std::string appTestName(const ::testing::TestParamInfo<App>& info) {
    return info.param == App::Text ? "Text" : "Binary";
}

std::vector<phonesim::Reading> scenarioReadings(App app, std::uint64_t seed, double rate,
                                                std::size_t count) {
    phonesim::ScenarioConfig config;
    config.app = app;
    config.seed = seed;
    config.motionRate = rate;
    phonesim::Scenario scenario(config);
    std::vector<phonesim::Reading> readings;
    for (std::size_t i = 0; i < count; ++i)
        readings.push_back(scenario.next());
    return readings;
}

std::size_t countOf(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// A file name of the test's own, removed when the test ends.
struct TemporaryFile {
    std::string path;
    explicit TemporaryFile(const std::string& name)
        : path(::testing::TempDir() + "sensorstream_" + std::to_string(::getpid()) + "_" + name) {}
    ~TemporaryFile() { std::remove(path.c_str()); }
    std::string text() const {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream all;
        all << in.rdbuf();
        return all.str();
    }
};

ChildResult sensorstream(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), SENSORSTREAM_PATH);
    return kxtools::runChild(arguments, 60s);
}

// The accounting line of the summary when nothing was lost.
std::string noneLost(std::size_t count) {
    return "sensorstream: buffers written by the device " + std::to_string(count) +
           ", readings output " + std::to_string(count) + ": none lost\n";
}

const double* expectedValue(const ExpectedReading& expected, const std::string& name) {
    for (const auto& [field, value] : expected.fields) {
        if (field == name)
            return &value;
    }
    return nullptr;
}

void expectPlausibleTimestamp(const std::vector<double>& t) {
    ASSERT_EQ(6u, t.size());
    EXPECT_GE(t[0], 2020.0);
    EXPECT_TRUE(t[1] >= 1 && t[1] <= 12 && t[2] >= 1 && t[2] <= 31 && t[3] >= 0 && t[3] < 24 &&
                t[4] >= 0 && t[4] < 60 && t[5] >= 0 && t[5] < 61);
    for (std::size_t i = 0; i < 5; ++i)
        EXPECT_EQ(std::floor(t[i]), t[i]) << "part " << i << " is whole";
}

// Every line a strict JSON object with the phone's name and the 18 fields in order:
// Timestamp a row of six numbers, Measurement and the expected fields set to the
// expected values, every other field null.
void expectJsonReadings(const std::string& output, const std::vector<ExpectedReading>& expected,
                        const std::string& phone = "phone") {
    const auto lines = linesOf(output);
    ASSERT_EQ(expected.size(), lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        SCOPED_TRACE("reading " + std::to_string(i) + ": " + lines[i]);
        JsonValue object;
        ASSERT_NO_THROW(object = parseJson(lines[i]));
        ASSERT_EQ(JsonValue::Kind::Object, object.kind);
        ASSERT_EQ(SAMPLE_FIELD_NAMES.size() + 2, object.members.size());
        ASSERT_EQ("Phone", object.members[0].first);
        ASSERT_EQ(JsonValue::Kind::String, object.members[0].second.kind);
        ASSERT_EQ(phone, object.members[0].second.text);
        ASSERT_EQ("Monotonic", object.members[1].first);
        ASSERT_EQ(JsonValue::Kind::Number, object.members[1].second.kind);
        for (std::size_t f = 0; f < SAMPLE_FIELD_NAMES.size(); ++f)
            ASSERT_EQ(SAMPLE_FIELD_NAMES[f], object.members[f + 2].first);

        const JsonValue& timestamp = object.at("Timestamp");
        ASSERT_EQ(JsonValue::Kind::Array, timestamp.kind);
        std::vector<double> parts;
        for (const auto& part : timestamp.items) {
            ASSERT_EQ(JsonValue::Kind::Number, part.kind);
            parts.push_back(part.number);
        }
        expectPlausibleTimestamp(parts);
        ASSERT_EQ(JsonValue::Kind::Number, object.at("Measurement").kind);
        ASSERT_EQ(expected[i].measurement, object.at("Measurement").number);

        for (std::size_t f = 2; f < SAMPLE_FIELD_NAMES.size(); ++f) {
            const JsonValue& value = object.members[f + 2].second;
            const double* wanted = expectedValue(expected[i], SAMPLE_FIELD_NAMES[f]);
            if (wanted == nullptr) {
                ASSERT_EQ(JsonValue::Kind::Null, value.kind) << SAMPLE_FIELD_NAMES[f];
            } else {
                ASSERT_EQ(JsonValue::Kind::Number, value.kind) << SAMPLE_FIELD_NAMES[f];
                ASSERT_EQ(*wanted, value.number) << SAMPLE_FIELD_NAMES[f];
            }
        }
    }
}

// RFC 4180 cells of one line.
std::vector<std::string> csvCells(const std::string& line) {
    std::vector<std::string> cells(1);
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"')
                cells.back() += line[++i];
            else if (c == '"')
                quoted = false;
            else
                cells.back() += c;
        } else if (c == '"' && cells.back().empty()) {
            quoted = true;
        } else if (c == ',') {
            cells.emplace_back();
        } else {
            EXPECT_NE('"', c) << "stray quote in " << line;
            cells.back() += c;
        }
    }
    EXPECT_FALSE(quoted) << "unterminated quote in " << line;
    return cells;
}

double wholeNumber(const std::string& cell) {
    char* end = nullptr;
    const double value = std::strtod(cell.c_str(), &end);
    EXPECT_TRUE(!cell.empty() && *end == '\0') << "'" << cell << "' is not a number";
    return value;
}

// A header with "Phone", "Monotonic" and the 18 field names, then one row of 20
// cells per reading: the phone, the monotonic arrival, the ISO 8601 time stamp, the measurement,
// the expected fields, the rest empty.
void expectCsvReadings(const std::string& output, const std::vector<ExpectedReading>& expected,
                       const std::string& phone = "phone") {
    const auto lines = linesOf(output);
    ASSERT_EQ(expected.size() + 1, lines.size());
    auto header = csvCells(lines[0]);
    ASSERT_FALSE(header.empty());
    ASSERT_EQ("Phone", header[0]);
    ASSERT_EQ("Monotonic", header[1]);
    header.erase(header.begin(), header.begin() + 2);
    ASSERT_EQ(std::vector<std::string>(SAMPLE_FIELD_NAMES.begin(), SAMPLE_FIELD_NAMES.end()),
              header);
    const std::regex isoTime(R"(\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}\.\d{3})");
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("reading " + std::to_string(i) + ": " + lines[i + 1]);
        auto cells = csvCells(lines[i + 1]);
        ASSERT_EQ(SAMPLE_FIELD_NAMES.size() + 2, cells.size());
        ASSERT_EQ(phone, cells[0]);
        EXPECT_TRUE(std::regex_match(cells[1], std::regex(R"(\d+\.\d{6})"))) << cells[1];
        cells.erase(cells.begin(), cells.begin() + 2);
        EXPECT_TRUE(std::regex_match(cells[0], isoTime)) << cells[0];
        ASSERT_EQ(expected[i].measurement, wholeNumber(cells[1]));
        for (std::size_t f = 2; f < SAMPLE_FIELD_NAMES.size(); ++f) {
            const double* wanted = expectedValue(expected[i], SAMPLE_FIELD_NAMES[f]);
            if (wanted == nullptr)
                ASSERT_EQ("", cells[f]) << SAMPLE_FIELD_NAMES[f];
            else
                ASSERT_EQ(*wanted, wholeNumber(cells[f])) << SAMPLE_FIELD_NAMES[f];
        }
    }
}

// "acceleration 80, rotation rate 80, ...": the readings of each measurement in
// the order of the summary, motion first.
std::string perMeasurement(const std::vector<ExpectedReading>& expected) {
    std::string text;
    for (const std::int32_t m : {1, 2, 5, 6, 3, 4, 7}) {
        std::size_t count = 0;
        for (const auto& reading : expected)
            count += reading.measurement == m ? 1 : 0;
        if (count != 0)
            text += (text.empty() ? "" : ", ") + sensorstream::measurementName(m) + " " +
                    std::to_string(count);
    }
    return text;
}

TEST(SensorstreamProgram, HelpNamesEveryOption) {
    const auto help = sensorstream({"--help"});
    EXPECT_EQ(0, help.exitCode);
    EXPECT_EQ("", help.err);
    for (const char* option :
         {"--phone",         "--app",         "--port",       "--bind",           "--format",
          "--output",        "--count",       "--duration",   "--live",           "--no-data-hint",
          "--mqtt",          "--mqtt-prefix", "--mqtt-qos",   "--mqtt-client-id", "--mqtt-user",
          "--mqtt-password", "--mqtt-ca",     "--mqtt-queue", "--help",           "--version"})
        EXPECT_NE(std::string::npos, help.out.find(option)) << option;
    EXPECT_NE(std::string::npos, help.out.find("firewall")) << help.out;
}

TEST(SensorstreamProgram, VersionNamesThePluginsItLoads) {
    const auto version = sensorstream({"--version"});
    EXPECT_EQ(0, version.exitCode) << version.out;
    EXPECT_EQ(0u, version.out.find("sensorstream ")) << version.out;
    for (const char* plugin : {"kinedgram", "kinescope", "kineconvert"})
        EXPECT_TRUE(std::regex_search(version.out,
                                      std::regex(std::string("\n  ") + plugin + " \\S+ \\(built ")))
            << plugin << " in " << version.out;
}

TEST(SensorstreamProgram, BadArgumentsFailWithAClearMessage) {
    const struct {
        std::vector<std::string> arguments;
        int exitCode;
        std::string message;
    } cases[] = {
        {{"--frobnicate"},
         2,
         "sensorstream: unknown option '--frobnicate' (see sensorstream --help)\n"},
        {{"--app", "phone"}, 2, "sensorstream: --app: 'phone' is not an app (text or binary)"},
        {{"--port", "65536"}, 2, "sensorstream: --port: '65536' is out of range (0 to 65535)"},
        {{"--port", "http"}, 2, "sensorstream: --port: 'http' is not a whole number"},
        {{"--bind", "1.2.3"}, 2, "sensorstream: --bind: '1.2.3' is not an IPv4 address (or any)"},
        {{"--bind", "1.2.3.256"},
         2,
         "sensorstream: --bind: '1.2.3.256' is not an IPv4 address (or any)"},
        {{"--format", "xml"},
         2,
         "sensorstream: --format: 'xml' is not a format (json, csv or table)"},
        {{"--count", "0"}, 2, "sensorstream: --count: '0' is out of range (at least 1)"},
        {{"--duration", "soon"}, 2, "sensorstream: --duration: 'soon' is not a number"},
        {{"--no-data-hint", "-1"}, 2, "sensorstream: --no-data-hint: '-1' is out of range"},
        {{"--count"}, 2, "sensorstream: --count needs a value (N)"},
        {{"--phone", "walk"}, 2, "sensorstream: --phone: 'walk' is not NAME=APP or NAME=APP:PORT"},
        {{"--phone", "a=text:50000", "--phone", "b=binary:50000"},
         2,
         "sensorstream: --phone: the port 50000 is given to both 'a' and 'b'"},
        {{"--phone", "a=text", "--phone", "a=binary"},
         2,
         "sensorstream: --phone: the name 'a' is given twice"},
        {{"--phone", "a=text", "--app", "binary"},
         2,
         "sensorstream: --app and --port are for the one phone without --phone"},
        {{"--mqtt", "127.0.0.1", "--mqtt-qos", "2"},
         2,
         "sensorstream: --mqtt-qos: '2' is not a QoS (0 or 1)"},
        {{"--mqtt", "127.0.0.1:0"}, 2, "sensorstream: --mqtt port: '0' is out of range"},
        {{"--mqtt", "127.0.0.1", "--mqtt-queue", "0"},
         2,
         "sensorstream: --mqtt-queue: '0' is out of range"},
        {{"--mqtt", "127.0.0.1", "--mqtt-prefix", "lab/#"}, 2, "sensorstream: --mqtt-prefix: "},
        {{"--mqtt-qos", "1"}, 2, "sensorstream: --mqtt-qos needs --mqtt HOST[:PORT]"},
        {{"extra"}, 2, "sensorstream: "},
        {{"--output", "/nonexistent/readings.json", "--duration", "1"},
         1,
         "sensorstream: cannot write '/nonexistent/readings.json': No such file or directory\n"},
    };
    for (const auto& c : cases) {
        const auto result = sensorstream(c.arguments);
        std::string command;
        for (const auto& argument : c.arguments)
            command += " " + argument;
        SCOPED_TRACE(command);
        EXPECT_TRUE(result.exited);
        EXPECT_EQ(c.exitCode, result.exitCode);
        EXPECT_EQ(0u, result.err.find(c.message)) << result.err;
        EXPECT_EQ("", result.out);
    }
}

TEST(SensorstreamProgram, BusyPortFailsWithTheDevicesMessage) {
    const std::uint16_t port = findFreePort();
    mobilesensor::testing::PortHolder busy;
    ASSERT_TRUE(busy.hold(port));
    const auto result = sensorstream({"--port", std::to_string(port), "--duration", "5"});
    EXPECT_EQ(1, result.exitCode);
    EXPECT_EQ(0u, result.err.find("sensorstream: kinedgram could not listen: "
                                  "KORVEX:UDPListener:startUDPServer:unableToOpen: "))
        << result.err;
}

class SensorstreamEndToEnd : public ::testing::TestWithParam<App> {};

// The scenario sent straight by phonesim, read back as JSON lines.
TEST_P(SensorstreamEndToEnd, EveryDatagramBecomesTheExpectedStructures) {
    const App app = GetParam();
    const std::size_t sent = 300;
    const auto expected = expectedReadings(scenarioReadings(app, 7, 100, sent));
    const std::uint16_t port = findFreePort();
    auto receiver = startSensorstream(port, {"--app", phonesim::appName(app), "--count",
                                             std::to_string(expected.size()), "--duration", "30"});
    const auto sender = phonesim(port, {"--app", phonesim::appName(app), "--seed", "7", "--rate",
                                        "100", "--count", std::to_string(sent)});
    ASSERT_EQ(0, sender.exitCode) << sender.err;
    const auto result = receiver->wait(40s);
    ASSERT_EQ(0, result.exitCode) << result.err;

    expectJsonReadings(result.out, expected);
    const std::string& err = result.err;
    EXPECT_NE(std::string::npos,
              err.find("listening on 127.0.0.1, UDP port " + std::to_string(port)))
        << err;
    EXPECT_NE(std::string::npos, err.find("the phone reached this computer at 127.0.0.1")) << err;
    EXPECT_NE(std::string::npos, err.find("reached --count " + std::to_string(expected.size())))
        << err;
    EXPECT_NE(std::string::npos, err.find(noneLost(expected.size()))) << err;
    EXPECT_EQ(std::string::npos, err.find("error")) << err;
}

// More than a minute of walking, replayed fast, read back as CSV: every kind of
// location fix the text app sends (better, worse, stale, from the other source),
// and the binary app's poor fixes.
TEST_P(SensorstreamEndToEnd, AMinuteOfWalkingWithItsFixSelectionInCsv) {
    const App app = GetParam();
    phonesim::ScenarioConfig config;
    config.app = app;
    config.seed = 11;
    config.motionRate = 1.0;
    phonesim::Scenario scenario(config);
    std::vector<phonesim::Reading> readings;
    while (readings.empty() || readings.back().time < 75.0)
        readings.push_back(scenario.next());

    TemporaryFile recording(std::string("walk_") + phonesim::appName(app) + ".txt");
    {
        std::ofstream out(recording.path, std::ios::binary);
        phonesim::RecordingWriter writer(out, app);
        for (const auto& reading : readings)
            writer.write(reading.time, phonesim::encodeDatagram(reading));
    }
    const auto expected = expectedReadings(readings);
    if (app == App::Text) {
        EXPECT_GE(sensorstream::testing::skippedFixes(readings), 10u)
            << "the walk exercises the fix selection";
    }

    TemporaryFile csv(std::string("walk_") + phonesim::appName(app) + ".csv");
    const std::uint16_t port = findFreePort();
    auto receiver = startSensorstream(port, {"--app", phonesim::appName(app), "--format", "csv",
                                             "--output", csv.path, "--count",
                                             std::to_string(expected.size()), "--duration", "30"});
    const auto sender = phonesim(port, {"--replay", recording.path, "--rate", "300"});
    ASSERT_EQ(0, sender.exitCode) << sender.err;
    const auto result = receiver->wait(40s);
    ASSERT_EQ(0, result.exitCode) << result.err;
    EXPECT_EQ("", result.out) << "the readings went to the file";
    EXPECT_NE(std::string::npos, result.err.find(noneLost(expected.size()))) << result.err;
    expectCsvReadings(csv.text(), expected);
}

INSTANTIATE_TEST_SUITE_P(BothApps, SensorstreamEndToEnd, ::testing::Values(App::Text, App::Binary),
                         appTestName);

TEST(SensorstreamProgram, CtrlCEndsWithASummaryAndLosesNothing) {
    const std::size_t sent = 240;
    const auto expected = expectedReadings(scenarioReadings(App::Binary, 3, 100, sent));
    const std::uint16_t port = findFreePort();
    auto receiver = startSensorstream(port, {"--app", "binary"});
    ASSERT_TRUE(receiver->waitForError("Ctrl-C stops", 5s));
    const auto sender = phonesim(
        port, {"--app", "binary", "--seed", "3", "--rate", "100", "--count", std::to_string(sent)});
    ASSERT_EQ(0, sender.exitCode) << sender.err;
    ASSERT_TRUE(receiver->waitForOutputLines(expected.size(), 20s));
    receiver->interrupt();
    const auto result = receiver->wait(20s);
    EXPECT_TRUE(result.exited);
    EXPECT_EQ(0, result.exitCode) << result.err;
    expectJsonReadings(result.out, expected);
    EXPECT_NE(std::string::npos, result.err.find("sensorstream: stopped by Ctrl-C\n"))
        << result.err;
    // The summary: readings per measurement, duration and mean rate, and the count.
    EXPECT_TRUE(std::regex_search(result.err,
                                  std::regex("sensorstream: " + std::to_string(expected.size()) +
                                             " readings in [0-9.]+ s \\([0-9.]+ a second\\): " +
                                             perMeasurement(expected) + "\n")))
        << result.err;
    EXPECT_NE(std::string::npos, result.err.find(noneLost(expected.size()))) << result.err;
}

TEST(SensorstreamProgram, SaysWhatToCheckWhenNoDatagramArrives) {
    const std::uint16_t port = findFreePort();
    const auto result = sensorstream({"--app", "binary", "--port", std::to_string(port),
                                      "--no-data-hint", "0.2", "--duration", "1.5"});
    EXPECT_EQ(0, result.exitCode) << result.err;
    EXPECT_EQ("", result.out);
    const std::string& err = result.err;
    const std::string portText = std::to_string(port);
    EXPECT_EQ(1u, countOf(err, "no datagram has arrived in 0.2 s")) << "said once: " << err;
    for (const std::string& advice :
         {std::string("the phone is on the same network as this computer"),
          "one of the addresses printed above, port " + portText,
          std::string("the app's format matches --app binary"),
          "a firewall lets UDP in on port " + portText,
          std::string("listens on 127.0.0.1 only: a phone needs --bind 0.0.0.0")})
        EXPECT_NE(std::string::npos, err.find(advice)) << advice << " in " << err;
    EXPECT_NE(std::string::npos, err.find("sensorstream: 0 readings in ")) << err;
    EXPECT_NE(std::string::npos, err.find(noneLost(0))) << err;
}

TEST(SensorstreamProgram, SaysWhenTheDatagramsAreOfTheOtherApp) {
    const std::uint16_t port = findFreePort();
    auto receiver = startSensorstream(port, {"--app", "text", "--duration", "20"});
    const auto sender = phonesim(port, {"--app", "binary", "--count", "30"});
    ASSERT_EQ(0, sender.exitCode) << sender.err;
    EXPECT_TRUE(
        receiver->waitForError("datagrams arrive but none is a reading of the text app", 15s));
    receiver->interrupt();
    const auto result = receiver->wait(20s);
    EXPECT_EQ(0, result.exitCode);
    EXPECT_EQ("", result.out);
    EXPECT_EQ(std::string::npos, result.err.find("no datagram has arrived")) << result.err;
}

// --live draws the table in place on standard output, while --output still gets
// every reading; the table format shows only the set fields.
TEST(SensorstreamProgram, LiveTableAndTableFormat) {
    const std::size_t sent = 150;
    const auto expected = expectedReadings(scenarioReadings(App::Text, 5, 100, sent));
    TemporaryFile json("live.json");
    {
        const std::uint16_t port = findFreePort();
        auto receiver =
            startSensorstream(port, {"--live", "--output", json.path, "--count",
                                     std::to_string(expected.size()), "--duration", "30"});
        ASSERT_EQ(0,
                  phonesim(port, {"--seed", "5", "--rate", "100", "--count", std::to_string(sent)})
                      .exitCode);
        const auto result = receiver->wait(40s);
        ASSERT_EQ(0, result.exitCode) << result.err;
        EXPECT_NE(std::string::npos, result.err.find(noneLost(expected.size()))) << result.err;
        expectJsonReadings(json.text(), expected);

        const std::string& screen = result.out;
        // Redrawn in place: the cursor goes back up over the previous table.
        EXPECT_NE(std::string::npos, screen.find("\033[J")) << screen;
        for (const char* part : {"measurement", "latest", "recent", "acceleration",
                                 "magnetic field", "orientation", "Azimuth", "\u2581", "\u2588"})
            EXPECT_NE(std::string::npos, screen.find(part)) << part;
        // The last table ends with the status line and the total.
        EXPECT_NE(std::string::npos,
                  screen.rfind(std::to_string(expected.size()) + " readings  accel "))
            << screen;
    }
    {
        const std::uint16_t port = findFreePort();
        auto receiver =
            startSensorstream(port, {"--format", "table", "--count",
                                     std::to_string(expected.size()), "--duration", "30"});
        ASSERT_EQ(0,
                  phonesim(port, {"--seed", "5", "--rate", "100", "--count", std::to_string(sent)})
                      .exitCode);
        const auto result = receiver->wait(40s);
        ASSERT_EQ(0, result.exitCode) << result.err;
        const auto lines = linesOf(result.out);
        ASSERT_EQ(expected.size() + 1, lines.size());
        EXPECT_TRUE(std::regex_match(lines[0], std::regex("phone +time +measurement +values")))
            << lines[0];
        for (std::size_t i = 0; i < expected.size(); ++i) {
            SCOPED_TRACE(lines[i + 1]);
            EXPECT_TRUE(
                std::regex_search(lines[i + 1], std::regex(R"(^phone  \d\d:\d\d:\d\d\.\d{3}  )")));
            EXPECT_NE(std::string::npos,
                      lines[i + 1].find(sensorstream::measurementName(expected[i].measurement)));
            for (const auto& [field, value] : expected[i].fields)
                EXPECT_NE(std::string::npos, lines[i + 1].find("  " + field + " "));
            EXPECT_EQ(std::string::npos, lines[i + 1].find("null"));
        }
    }
}

} // namespace
