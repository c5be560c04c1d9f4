// Recording what a loaded sensor device accepted, and replaying it with the phonesim
// program into a second device: the same bytes in the same order, the same readings.

#include "mobilesensor/device/testing/plugin_session.h"
#include "mobilesensor/device/testing/sample_view.h"
#include "mobilesensor/device/testing/udp_probe.h"
#include "tools/arrivals/datagram_recorder.h"
#include "tools/arrivals/monotonic_clock.h"
#include "tools/common/child_process.h"
#include "tools/phonesim/datagram_encoder.h"
#include "tools/phonesim/scenario.h"

#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;
using arrivals::DatagramRecorder;
using arrivals::TapRecording;
using mobilesensor::testing::PluginSession;
using mobilesensor::testing::WAIT;
using mobilesensor::testing::waitUntil;
using phonesim::App;
using Bytes = std::vector<std::uint8_t>;

struct TemporaryFile {
    std::string path;
    explicit TemporaryFile(const std::string& name)
        : path(::testing::TempDir() + "arrivals_" + std::to_string(::getpid()) + "_" + name) {}
    ~TemporaryFile() { std::remove(path.c_str()); }
};

phonesim::Recording readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return phonesim::readRecording(in);
}

std::vector<Bytes> bytesOf(const phonesim::Recording& recording) {
    std::vector<Bytes> all;
    for (const auto& datagram : recording.datagrams)
        all.push_back(datagram.bytes);
    return all;
}

// A device of the app's plug-in on a port that was free a moment ago.
struct OpenDevice {
    explicit OpenDevice(App app) : session(app == App::Text ? "kinedgram" : "kinescope") {
        session.initWithPort(mobilesensor::testing::findFreePort());
        port = session.open();
    }
    ~OpenDevice() { session.close(); }

    // Every buffer the device wrote: closing joins the listener's thread, so the
    // device has parsed all it was given.
    std::vector<korvex::host::BufferPtr> closeAndTakeBuffers() {
        session.close();
        return session.channel.takeAllBuffers();
    }

    PluginSession session;
    std::uint16_t port = 0;
};

TEST(TapRecording, HoldsADevicesFirstDatagramsUntilItsPortIsRouted) {
    phonesim::ScenarioConfig config;
    phonesim::Scenario scenario(config);
    std::vector<Bytes> sent;
    for (int i = 0; i < 6; ++i)
        sent.push_back(phonesim::encodeDatagram(scenario.next()));

    const double origin = arrivals::monotonicNow();
    std::ostringstream file;
    DatagramRecorder recorder(file, App::Text, origin);
    TapRecording tap;
    OpenDevice device(App::Text);
    ASSERT_NE(0, device.port);
    mobilesensor::testing::DatagramSender phone;
    // Sent before the program knows which port its device found.
    for (int i = 0; i < 3; ++i)
        phone.send(device.port, sent[i]);
    ASSERT_TRUE(waitUntil([&] { return tap.unrouted() == 3; }));

    tap.route(device.port, recorder);
    EXPECT_EQ(0u, tap.unrouted());
    EXPECT_EQ(3u, recorder.recorded());
    for (int i = 3; i < 6; ++i)
        phone.send(device.port, sent[i]);
    ASSERT_TRUE(waitUntil([&] { return recorder.recorded() == 6; }));
    // The device was given the same datagrams.
    EXPECT_FALSE(device.closeAndTakeBuffers().empty());

    std::istringstream in(file.str());
    const phonesim::Recording recording = phonesim::readRecording(in);
    EXPECT_EQ(App::Text, recording.app.value());
    EXPECT_NEAR(origin, recording.arrivalOrigin.value(), 1e-6);
    EXPECT_EQ(sent, bytesOf(recording));
    const double now = arrivals::monotonicNow();
    for (std::size_t i = 0; i < recording.datagrams.size(); ++i) {
        // Arrival times after the origin, in the order of arrival, before now.
        EXPECT_LE(origin + recording.datagrams[i].time, now + 1e-6);
        if (i > 0) {
            EXPECT_LE(recording.datagrams[i - 1].time, recording.datagrams[i].time);
        }
    }
}

class RecordAndReplay : public ::testing::TestWithParam<App> {};

TEST_P(RecordAndReplay, ReplayedRecordingGivesTheSameBytesAndReadings) {
    const App app = GetParam();
    const std::string appName = phonesim::appName(app);
    constexpr std::size_t COUNT = 150;
    TemporaryFile sentLog("sent-" + appName + ".txt");
    TemporaryFile recorded("recorded-" + appName + ".txt");
    TemporaryFile replayedFile("replayed-" + appName + ".txt");
    TapRecording tap;

    // A walk sent by phonesim, recorded on arrival at the first device.
    std::vector<korvex::host::BufferPtr> firstReadings;
    {
        std::ofstream out(recorded.path, std::ios::binary);
        DatagramRecorder recorder(out, app, arrivals::monotonicNow());
        OpenDevice device(app);
        tap.route(device.port, recorder);
        const auto run = kxtools::runChild({PHONESIM_PATH, "--app", appName, "--port",
                                            std::to_string(device.port), "--rate", "200", "--count",
                                            std::to_string(COUNT), "--seed", "5", "--record",
                                            sentLog.path, "--quiet"},
                                           60s);
        ASSERT_EQ(0, run.exitCode) << run.err;
        ASSERT_TRUE(waitUntil([&] { return recorder.recorded() >= COUNT; }));
        firstReadings = device.closeAndTakeBuffers();
    }
    const phonesim::Recording first = readFile(recorded.path);
    ASSERT_EQ(COUNT, first.datagrams.size());
    // Exactly what phonesim sent, in its order.
    EXPECT_EQ(bytesOf(readFile(sentLog.path)), bytesOf(first));

    // Replayed four times as fast into a second device, recorded again.
    std::vector<korvex::host::BufferPtr> secondReadings;
    {
        std::ofstream out(replayedFile.path, std::ios::binary);
        DatagramRecorder recorder(out, app, arrivals::monotonicNow());
        OpenDevice device(app);
        tap.route(device.port, recorder);
        const auto run = kxtools::runChild({PHONESIM_PATH, "--replay", recorded.path, "--speed",
                                            "4", "--port", std::to_string(device.port)},
                                           60s);
        ASSERT_EQ(0, run.exitCode) << run.err;
        EXPECT_NE(std::string::npos,
                  run.out.find("replaying " + std::to_string(COUNT) + " datagrams"))
            << run.out;
        ASSERT_TRUE(waitUntil([&] { return recorder.recorded() >= COUNT; }));
        secondReadings = device.closeAndTakeBuffers();
    }
    const phonesim::Recording second = readFile(replayedFile.path);
    EXPECT_EQ(bytesOf(first), bytesOf(second));

    // The devices made the same readings of them, one by one.
    const auto before = mobilesensor::testing::describe(firstReadings);
    const auto after = mobilesensor::testing::describe(secondReadings);
    ASSERT_EQ(before.size(), after.size());
    ASSERT_GE(before.size(), COUNT / 2);
    for (std::size_t i = 0; i < before.size(); ++i)
        EXPECT_TRUE(mobilesensor::testing::sameSample(before[i], after[i]))
            << i << ": " << before[i] << " then " << after[i];
}

std::string appParamName(const ::testing::TestParamInfo<App>& app) {
    return phonesim::appName(app.param);
}

INSTANTIATE_TEST_SUITE_P(BothApps, RecordAndReplay, ::testing::Values(App::Text, App::Binary),
                         appParamName);

} // namespace
