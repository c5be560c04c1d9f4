// The send loop with a fake clock and a fake socket: what is sent, when it is due,
// and when the loop ends.

#include "tools/phonesim/datagram_encoder.h"
#include "tools/phonesim/send_loop.h"

#include <gtest/gtest.h>
#include <optional>
#include <sstream>
#include <vector>

namespace {

using namespace phonesim;

struct RecordingSink : DatagramSink {
    std::vector<std::vector<std::uint8_t>> sent;
    void send(const std::vector<std::uint8_t>& bytes) override { sent.push_back(bytes); }
};

// A clock that jumps to every deadline it is asked for, and refuses (as Ctrl-C
// would) from the stopAfter-th wait on.
struct FakePacer : Pacer {
    std::vector<double> waits;
    std::size_t stopAfter = SIZE_MAX;
    double now = 0.0;
    bool waitUntil(double seconds) override {
        if (waits.size() == stopAfter)
            return false;
        waits.push_back(seconds);
        now = std::max(now, seconds);
        return true;
    }
    double elapsed() const override { return now; }
};

ScenarioConfig textConfig() {
    ScenarioConfig c;
    c.app = App::Text;
    c.seed = 9;
    c.motionRate = 20.0;
    return c;
}

TEST(SendLoop, SendsTheScenarioAtItsAbsoluteDueTimes) {
    ScenarioSource source(textConfig());
    RecordingSink sink;
    FakePacer pacer;
    const auto summary =
        sendDatagrams(source, sink, pacer, {100, std::nullopt}, App::Text, nullptr);

    Scenario expected(textConfig());
    ASSERT_EQ(100u, sink.sent.size());
    ASSERT_EQ(100u, pacer.waits.size());
    for (std::size_t i = 0; i < 100; ++i) {
        const Reading r = expected.next();
        EXPECT_EQ(encodeDatagram(r), sink.sent[i]) << i;
        // Each wait is for the datagram's own time from the start, not a gap.
        EXPECT_EQ(r.time, pacer.waits[i]) << i;
    }
    EXPECT_EQ(100u, summary.total);
    EXPECT_FALSE(summary.interrupted);
}

TEST(SendLoop, CountDurationSourceEndAndStopEndTheLoop) {
    // 20 ticks a second of A, M, O; a "G" fix at 0 s and 1 s, an "N" fix at 0.5 s.
    const struct {
        SendLimits limits;
        std::size_t stopAfter;
        std::size_t sent;
        double lastWait;
        bool interrupted;
    } cases[] = {
        {{5, std::nullopt}, SIZE_MAX, 5, 0.05, false},
        {{0, std::nullopt}, SIZE_MAX, 0, -1, false},
        // Everything due before 1 s goes out, then the loop waits out the second.
        {{std::nullopt, 1.0}, SIZE_MAX, 20 * 3 + 2, 1.0, false},
        {{1000, 1.0}, SIZE_MAX, 62, 1.0, false},
        {{10, 1.0}, SIZE_MAX, 10, 0.1, false},
        {{std::nullopt, std::nullopt}, 7, 7, 0.05, true},
        {{std::nullopt, 0.5}, 31, 31, 0.45, true}, // Ctrl-C while waiting out the end
    };
    for (const auto& c : cases) {
        ScenarioSource source(textConfig());
        RecordingSink sink;
        FakePacer pacer;
        pacer.stopAfter = c.stopAfter;
        const auto summary = sendDatagrams(source, sink, pacer, c.limits, App::Text, nullptr);
        SCOPED_TRACE(c.sent);
        EXPECT_EQ(c.sent, sink.sent.size());
        EXPECT_EQ(c.sent, summary.total);
        EXPECT_EQ(c.interrupted, summary.interrupted);
        if (c.lastWait >= 0) {
            EXPECT_DOUBLE_EQ(c.lastWait, pacer.waits.back());
        }
    }
}

TEST(SendLoop, CountsKindsRecordsAndSummarises) {
    std::ostringstream file;
    RecordingWriter recorder(file, App::Text);
    ScenarioSource source(textConfig());
    RecordingSink sink;
    FakePacer pacer;
    const auto summary =
        sendDatagrams(source, sink, pacer, {std::nullopt, 1.0}, App::Text, &recorder);
    EXPECT_EQ("sent 62 datagrams in 1.00 s (A 20, M 20, O 20, G 1, N 1)",
              summaryText(summary, App::Text));

    // The recording holds what was sent, in order, at the due times.
    std::istringstream in(file.str());
    const Recording recording = readRecording(in);
    ASSERT_EQ(sink.sent.size(), recording.datagrams.size());
    for (std::size_t i = 0; i < sink.sent.size(); ++i) {
        EXPECT_EQ(sink.sent[i], recording.datagrams[i].bytes);
        EXPECT_NEAR(pacer.waits[i], recording.datagrams[i].time, 1e-6);
    }
}

TEST(SendLoop, ReplayKeepsRecordedPacingOrUsesTheRate) {
    Recording recording;
    recording.app = App::Binary;
    for (const double t : {10.0, 10.5, 10.25, 12.0}) // one out of order
        recording.datagrams.push_back({t, {1, 2, 3}});

    const struct {
        std::optional<double> rate;
        double speed;
        std::vector<double> due;
    } pacings[] = {
        {std::nullopt, 1.0, {0.0, 0.5, 0.25, 2.0}},
        {4.0, 1.0, {0.0, 0.25, 0.5, 0.75}},
        // Faster by a factor: every pause shrinks alike.
        {std::nullopt, 4.0, {0.0, 0.125, 0.0625, 0.5}},
    };
    for (const auto& [rate, speed, due] : pacings) {
        ReplaySource source(recording, rate, speed);
        RecordingSink sink;
        FakePacer pacer;
        const auto summary = sendDatagrams(source, sink, pacer, {}, recording.app, nullptr);
        EXPECT_EQ(due, pacer.waits);
        EXPECT_EQ(4u, sink.sent.size());
        // Three bytes are no binary record the devices know.
        EXPECT_EQ("sent 4 datagrams in " +
                      std::string(rate          ? "0.75"
                                  : speed > 1.0 ? "0.50"
                                                : "2.00") +
                      " s (0x10 0, 0x20 0, 0x30 0, 0x40 0, other 4)",
                  summaryText(summary, App::Binary));
    }
    EXPECT_THROW(ReplaySource(recording, 0.0), std::invalid_argument);
    EXPECT_THROW(ReplaySource(recording, std::nullopt, 0.0), std::invalid_argument);
}

TEST(SendLoop, SummaryWithoutAnApp) {
    SendSummary summary;
    summary.total = summary.other = 1;
    summary.seconds = 0.004;
    summary.interrupted = true;
    EXPECT_EQ("sent 1 datagram in 0.00 s (other 1), stopped by Ctrl-C",
              summaryText(summary, std::nullopt));
}

} // namespace
