// The phonesim program run as a child process, sending to sockets of the test.

#include "tools/common/child_process.h"
#include "tools/phonesim/datagram_encoder.h"
#include "tools/phonesim/scenario.h"
#include "udp_receiver.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;
using kxtools::ChildProcess;
using kxtools::ChildResult;
using phonesim::testing::ReceivedDatagram;
using phonesim::testing::UdpReceiver;

// Runs phonesim to its end and returns what it printed.
ChildResult phonesim(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), PHONESIM_PATH);
    return kxtools::runChild(arguments, 60s);
}

std::vector<std::vector<std::uint8_t>> scenarioBytes(phonesim::App app, std::uint64_t seed,
                                                     double rate, std::size_t count) {
    phonesim::ScenarioConfig config;
    config.app = app;
    config.seed = seed;
    config.motionRate = rate;
    phonesim::Scenario scenario(config);
    std::vector<std::vector<std::uint8_t>> all;
    for (std::size_t i = 0; i < count; ++i)
        all.push_back(phonesim::encodeDatagram(scenario.next()));
    return all;
}

std::vector<std::vector<std::uint8_t>> bytesOf(const std::vector<ReceivedDatagram>& datagrams) {
    std::vector<std::vector<std::uint8_t>> all;
    for (const auto& d : datagrams)
        all.push_back(d.bytes);
    return all;
}

// Runs phonesim while receiving what it sends, so that no datagram waits long in
// the socket's buffer; then collects any datagram beyond the expected number.
struct SendRun {
    ChildResult result;
    std::vector<ReceivedDatagram> received;
};

SendRun sendTo(UdpReceiver& receiver, std::vector<std::string> arguments, std::size_t expected) {
    arguments.insert(arguments.begin(), {PHONESIM_PATH, "--port", std::to_string(receiver.port())});
    ChildProcess child(arguments);
    SendRun run;
    run.received = receiver.receive(expected, 10s);
    run.result = child.wait(60s);
    for (auto& extra : receiver.receive(SIZE_MAX, 200ms))
        run.received.push_back(std::move(extra));
    return run;
}

// A file name of the test's own, removed when the test ends.
struct TemporaryFile {
    std::string path;
    explicit TemporaryFile(const std::string& name)
        : path(::testing::TempDir() + "phonesim_" + std::to_string(::getpid()) + "_" + name) {}
    ~TemporaryFile() { std::remove(path.c_str()); }
};

TEST(PhonesimProgram, HelpNamesEveryOptionAndVersionIsShown) {
    const auto help = phonesim({"--help"});
    EXPECT_EQ(0, help.exitCode);
    EXPECT_EQ("", help.err);
    for (const char* option :
         {"--app", "--host", "--port", "--rate", "--count", "--duration", "--seed", "--bind",
          "--record", "--replay", "--speed", "--quiet", "--help", "--version"})
        EXPECT_NE(std::string::npos, help.out.find(option)) << option;

    const auto version = phonesim({"--version"});
    EXPECT_EQ(0, version.exitCode);
    EXPECT_EQ(0u, version.out.find("phonesim ")) << version.out;
}

TEST(PhonesimProgram, BadArgumentsFailWithAClearMessage) {
    TemporaryFile malformed("malformed.txt");
    std::ofstream(malformed.path) << "# app text\n0.0 41zz\n";
    TemporaryFile textRecording("text.txt");
    std::ofstream(textRecording.path) << "# app text\n0.0 41\n";
    const struct {
        std::vector<std::string> arguments;
        int exitCode;
        std::string message;
    } cases[] = {
        {{"--frobnicate"}, 2, "phonesim: unknown option '--frobnicate' (see phonesim --help)"},
        {{"--rate", "fast"}, 2, "phonesim: --rate: 'fast' is not a number"},
        {{"--app", "phone"}, 2, "phonesim: --app: 'phone' is not an app (text or binary)"},
        {{"--port", "0"}, 2, "phonesim: --port: '0' is out of range (1 to 65535)"},
        {{"--count"}, 2, "phonesim: --count needs a value (N)"},
        {{"--bind", "1.2.3"}, 2, "phonesim: --bind: '1.2.3' is not an IP address"},
        // A name with an empty label fails in the resolver itself: no query leaves
        // the machine.
        {{"--host", "no..such.host", "--count", "1"},
         1,
         "phonesim: cannot resolve host 'no..such.host': "},
        {{"--host", "::1", "--bind", "127.0.0.2", "--count", "1"},
         1,
         "phonesim: host '::1' has no IPv4 address to send to from 127.0.0.2"},
        {{"--replay", "/nonexistent/walk.txt"},
         1,
         "phonesim: cannot read replay file '/nonexistent/walk.txt': No such file or directory"},
        {{"--replay", malformed.path},
         1,
         "phonesim: replay file '" + malformed.path + "', line 2: 'zz' is not a hex byte"},
        {{"--replay", textRecording.path, "--app", "binary"},
         2,
         "phonesim: --app binary does not match the replay file, which holds text datagrams"},
        // 192.0.2.1 is a documentation address that is on no interface: nothing is sent.
        {{"--bind", "192.0.2.1", "--count", "1"}, 1, "phonesim: cannot send from 192.0.2.1: "},
        {{"--count", "1", "--record", "/nonexistent/out.txt"},
         1,
         "phonesim: cannot write record file '/nonexistent/out.txt': No such file or directory"},
    };
    for (const auto& c : cases) {
        const auto result = phonesim(c.arguments);
        std::string command;
        for (const auto& argument : c.arguments)
            command += " " + argument;
        SCOPED_TRACE(command);
        EXPECT_TRUE(result.exited);
        EXPECT_EQ(c.exitCode, result.exitCode);
        EXPECT_EQ(0u, result.err.find(c.message)) << result.err;
        EXPECT_EQ(std::string::npos, result.out.find("sent ")) << result.out;
    }
}

class PhonesimSend : public ::testing::TestWithParam<phonesim::App> {};

TEST_P(PhonesimSend, SendsExactlyTheScenarioForSeedAndCount) {
    const bool text = GetParam() == phonesim::App::Text;
    UdpReceiver receiver;
    const auto run = sendTo(
        receiver,
        {"--app", text ? "text" : "binary", "--seed", "7", "--rate", "400", "--count", "250"}, 250);
    ASSERT_EQ(0, run.result.exitCode) << run.result.err;
    EXPECT_EQ(scenarioBytes(GetParam(), 7, 400, 250), bytesOf(run.received));
    const std::string& out = run.result.out;
    EXPECT_NE(std::string::npos, out.find("phonesim: sent 250 datagrams in ")) << out;
    EXPECT_NE(std::string::npos, out.find(text ? "(A 83, M 83, O 83, G 1, N 0)"
                                               : "(0x10 83, 0x20 83, 0x30 83, 0x40 1)"))
        << out;
}

INSTANTIATE_TEST_SUITE_P(BothApps, PhonesimSend,
                         ::testing::Values(phonesim::App::Text, phonesim::App::Binary),
                         [](const auto& param) {
                             return param.param == phonesim::App::Text ? "Text" : "Binary";
                         });

TEST(PhonesimProgram, SendsFromTheBindAddress) {
    UdpReceiver receiver;
    const auto run = sendTo(receiver, {"--bind", "127.0.0.2", "--count", "5", "--quiet"}, 5);
    ASSERT_EQ(0, run.result.exitCode) << run.result.err;
    EXPECT_EQ("", run.result.out) << "--quiet prints nothing";
    ASSERT_EQ(5u, run.received.size());
    for (const auto& d : run.received)
        EXPECT_EQ("127.0.0.2", d.sender);
}

TEST(PhonesimProgram, DurationKeepsThePacing) {
    UdpReceiver receiver;
    const auto start = std::chrono::steady_clock::now();
    const auto run = sendTo(receiver, {"--rate", "20", "--duration", "0.5"}, 31);
    ASSERT_EQ(0, run.result.exitCode) << run.result.err;
    // Ticks at 0, 0.05, ... 0.45 s and a "G" fix at 0 s; the "N" fix is due at 0.5 s.
    EXPECT_EQ(scenarioBytes(phonesim::App::Text, 1, 20, 31), bytesOf(run.received));
    // Paced, not sent at once: the program takes at least its duration.
    EXPECT_GE(std::chrono::steady_clock::now() - start, 500ms);
}

TEST(PhonesimProgram, RecordThenReplaySendsTheSameBytes) {
    TemporaryFile recording("walk.txt");
    UdpReceiver first;
    const auto recorded = sendTo(first,
                                 {"--app", "binary", "--rate", "500", "--count", "120", "--seed",
                                  "3", "--record", recording.path},
                                 120);
    ASSERT_EQ(0, recorded.result.exitCode) << recorded.result.err;
    const auto sent = bytesOf(recorded.received);
    ASSERT_EQ(120u, sent.size());

    // The file holds one hex line per datagram after its two header lines.
    std::ifstream file(recording.path);
    std::string line;
    std::getline(file, line);
    EXPECT_EQ("# phonesim recording", line);
    std::getline(file, line);
    EXPECT_EQ("# app binary", line);
    std::size_t lines = 0;
    while (std::getline(file, line))
        ++lines;
    EXPECT_EQ(120u, lines);

    for (const std::vector<std::string>& pacing :
         {std::vector<std::string>{}, std::vector<std::string>{"--rate", "5000"}}) {
        UdpReceiver second;
        std::vector<std::string> arguments = {"--replay", recording.path};
        arguments.insert(arguments.end(), pacing.begin(), pacing.end());
        const auto replayed = sendTo(second, arguments, 120);
        ASSERT_EQ(0, replayed.result.exitCode) << replayed.result.err;
        EXPECT_EQ(sent, bytesOf(replayed.received));
        EXPECT_NE(std::string::npos,
                  replayed.result.out.find("(0x10 39, 0x20 40, 0x30 40, 0x40 1)"))
            << replayed.result.out;
    }
}

TEST(PhonesimProgram, CtrlCStopsCleanlyWithASummary) {
    UdpReceiver receiver;
    ChildProcess child({PHONESIM_PATH, "--port", std::to_string(receiver.port()), "--rate", "100"});
    // Runs with no end of its own until it is interrupted.
    ASSERT_EQ(20u, receiver.receive(20, 5s).size());
    child.interrupt();
    const auto result = child.wait(10s);
    EXPECT_TRUE(result.exited);
    EXPECT_EQ(0, result.exitCode) << result.err;
    EXPECT_NE(std::string::npos, result.out.find("Ctrl-C stops")) << result.out;
    EXPECT_NE(std::string::npos, result.out.find(", stopped by Ctrl-C\n")) << result.out;

    // The summary counts exactly what arrived.
    const std::size_t total = 20 + receiver.receive(100000, 200ms).size();
    EXPECT_NE(std::string::npos, result.out.find("sent " + std::to_string(total) + " datagrams"))
        << result.out;
}

} // namespace
