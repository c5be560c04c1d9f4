// The scenario against the project's own parsers: every datagram it makes must
// parse to exactly the values it says it sent.

#include "kinedgram/fix_selection.h"
#include "kinedgram/text_datagram.h"
#include "kinedgram/text_fields.h"
#include "kinescope/binary_datagram.h"
#include "tools/phonesim/datagram_encoder.h"
#include "tools/phonesim/scenario.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace phonesim;

// The text device's receive buffer: a longer datagram would arrive cut.
constexpr std::size_t TEXT_RECEIVE_SIZE = 200;

std::vector<Reading> readingsFor(const ScenarioConfig& config, double seconds) {
    Scenario scenario(config);
    std::vector<Reading> readings;
    for (;;) {
        Reading reading = scenario.next();
        if (reading.time >= seconds)
            return readings;
        readings.push_back(reading);
    }
}

ScenarioConfig config(App app, std::uint64_t seed = 1, double rate = 50.0) {
    ScenarioConfig c;
    c.app = app;
    c.seed = seed;
    c.motionRate = rate;
    return c;
}

bool sameDouble(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Ten minutes of walking: several laps, every fix pattern of the minute ten times.
constexpr double LONG_RUN = 600.0;

TEST(Scenario, EveryTextDatagramParsesToTheScenarioValues) {
    kinedgram::TextFields fields;
    std::size_t count = 0;
    for (const Reading& reading : readingsFor(config(App::Text, 11), LONG_RUN)) {
        auto bytes = encodeDatagram(reading);
        const std::string line(bytes.begin(), bytes.end());
        SCOPED_TRACE(line);
        ASSERT_LE(bytes.size(), TEXT_RECEIVE_SIZE);
        ASSERT_EQ(TEXT_TERMINATOR, bytes.back());

        kinedgram::TextReading parsed;
        ASSERT_TRUE(kinedgram::parseTextDatagram(bytes.data(), bytes.size(), fields, parsed));
        ASSERT_EQ(static_cast<char>(kindCode(reading.kind)), parsed.kind);
        for (std::size_t i = 0; i < valueCount(reading.kind); ++i)
            ASSERT_TRUE(sameDouble(reading.values[i], parsed.values[i]))
                << "value " << i << ": " << reading.values[i] << " vs " << parsed.values[i];
        // Fields 1 and 2, which the device does not read: the phone's clock and the
        // sequence number.
        ASSERT_EQ(std::to_string(reading.phoneTimeMs), std::string(fields[1]));
        ASSERT_EQ(std::to_string(reading.sequence), std::string(fields[2]));
        ++count;
    }
    // 50 ticks of A, M, O a second, 35 "G" and 60 "N" fixes a minute.
    EXPECT_EQ(600u * 150 + 10 * 35 + 600, count);
}

TEST(Scenario, EveryBinaryRecordReadsBackToTheScenarioValues) {
    std::size_t count = 0;
    for (const Reading& reading : readingsFor(config(App::Binary, 11), LONG_RUN)) {
        const auto bytes = encodeDatagram(reading);
        SCOPED_TRACE(kindName(reading.kind));
        const std::uint8_t type = kinescope::recordType(bytes.data(), bytes.size());
        ASSERT_EQ(kindCode(reading.kind), type);
        ASSERT_EQ(kinescope::recordLength(type), bytes.size());
        ASSERT_EQ(16 + 8 * valueCount(reading.kind), bytes.size()); // no bytes left unread
        for (std::size_t i = 0; i < valueCount(reading.kind); ++i)
            ASSERT_TRUE(
                sameDouble(reading.values[i], kinescope::readDouble(bytes.data(), 16 + 8 * i)))
                << i;
        ASSERT_EQ(static_cast<double>(reading.phoneTimeMs) / 1000.0,
                  kinescope::readDouble(bytes.data(), 8));
        ++count;
    }
    EXPECT_EQ(600u * 150 + 600, count);
}

TEST(Scenario, SameSeedSameBytesOtherSeedOtherBytes) {
    for (const App app : {App::Text, App::Binary}) {
        SCOPED_TRACE(app == App::Text ? "text" : "binary");
        Scenario first(config(app, 42)), again(config(app, 42)), other(config(app, 43));
        std::size_t differing = 0;
        constexpr std::size_t N = 20000;
        for (std::size_t i = 0; i < N; ++i) {
            const auto a = encodeDatagram(first.next());
            ASSERT_EQ(a, encodeDatagram(again.next())) << i;
            if (a != encodeDatagram(other.next()))
                ++differing;
        }
        // The noise makes nearly every reading differ, not just a few.
        EXPECT_GT(differing, N * 9 / 10);
    }
}

TEST(Scenario, SendOrderTimesAndRates) {
    for (const App app : {App::Text, App::Binary}) {
        for (const double rate : {1.0, 10.0, 50.0, 200.0, 333.0}) {
            SCOPED_TRACE(std::to_string(rate) + (app == App::Text ? " text" : " binary"));
            const auto readings = readingsFor(config(app, 3, rate), 120.0);
            std::map<Kind, std::vector<double>> times;
            for (std::size_t i = 0; i < readings.size(); ++i) {
                const Reading& r = readings[i];
                ASSERT_EQ(appOf(r.kind), app);
                ASSERT_EQ(i, r.sequence);
                if (i > 0) {
                    ASSERT_GE(r.time, readings[i - 1].time) << i;
                }
                ASSERT_EQ(1704067200000 + std::llround(r.time * 1000.0), r.phoneTimeMs);
                times[r.kind].push_back(r.time);
            }
            // Each motion kind once per tick, at tick / rate.
            const auto ticks = static_cast<std::size_t>(std::ceil(120.0 * rate));
            for (const Kind motion :
                 app == App::Text
                     ? std::vector<Kind>{Kind::TextAcceleration, Kind::TextMagneticField,
                                         Kind::TextOrientation}
                     : std::vector<Kind>{Kind::BinaryAcceleration, Kind::BinaryRotationRate,
                                         Kind::BinaryHeading}) {
                ASSERT_EQ(ticks, times[motion].size()) << kindName(motion);
                for (std::size_t k = 0; k < ticks; ++k)
                    ASSERT_EQ(static_cast<double>(k) / rate, times[motion][k]);
            }
            if (app == App::Binary) {
                EXPECT_EQ(120u, times[Kind::BinaryLocation].size());
                continue;
            }
            // "G" on whole seconds outside the outage, "N" half a second later.
            std::vector<double> g, n;
            for (int s = 0; s < 120; ++s) {
                if (s % 60 < G_OUTAGE_FIRST_SECOND)
                    g.push_back(s);
                n.push_back(s + TEXT_N_FIX_DELAY);
            }
            EXPECT_EQ(g, times[Kind::TextFixG]);
            EXPECT_EQ(n, times[Kind::TextFixN]);
        }
    }
}

TEST(Scenario, RejectsRatesOutsideItsRange) {
    for (const double rate : {0.0, -1.0, std::nan(""), 10000.5, HUGE_VAL})
        EXPECT_THROW(Scenario(config(App::Text, 1, rate)), std::invalid_argument) << rate;
    EXPECT_NO_THROW(Scenario(config(App::Text, 1, MAX_MOTION_RATE)));
}

// The text app's fixes give the receiver's fix selection every decision to make.
TEST(Scenario, TextFixesExerciseEveryFixSelectionDecision) {
    kinedgram::FixState state;
    std::map<std::string, int> decisions;
    for (const Reading& r : readingsFor(config(App::Text, 5), LONG_RUN)) {
        if (r.kind != Kind::TextFixG && r.kind != Kind::TextFixN)
            continue;
        const bool g = r.kind == Kind::TextFixG;
        const std::int32_t source = g ? kinedgram::FIX_SOURCE_G : kinedgram::FIX_SOURCE_N;
        const bool first = state.lastFixSource == kinedgram::FIX_SOURCE_NONE;
        const bool stale = !first && (r.values[3] - state.lastFixTime) / 1000.0 < -2.0;
        const bool better = !first && state.lastFixAccuracy >= r.values[4];
        const bool switching = !first && state.lastFixSource != source;
        const bool accepted =
            kinedgram::acceptFix(state, source, fixTimeMs(r), r.values[4], r.values[5]);
        std::string decision = std::string(g ? "G " : "N ") + (accepted ? "taken" : "skipped");
        if (stale)
            decision += " stale";
        else if (!first && !better)
            decision += switching ? " worse, other kind" : " worse";
        ++decisions[decision];
    }
    std::string all;
    for (const auto& [decision, count] : decisions)
        all += decision + ": " + std::to_string(count) + "\n";
    SCOPED_TRACE(all);
    // Better fixes are taken; worse ones wait for enough time to pass, longer when
    // the kind changes; stale ones are never taken. (A "G" fix is never worse than
    // an "N" fix, so it always takes over at once.)
    for (const char* expected :
         {"G taken", "G skipped worse", "G taken worse", "N taken", "N taken worse, other kind",
          "N skipped worse, other kind", "N taken worse", "N skipped stale"})
        EXPECT_GT(decisions[expected], 0) << expected;
    EXPECT_EQ(0, decisions["G taken stale"] + decisions["N taken stale"]);
}

} // namespace
