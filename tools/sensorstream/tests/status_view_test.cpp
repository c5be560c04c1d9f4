#include "file_contents.h"
#include "sample_structures.h"
#include "tools/sensorstream/status_view.h"

#include <cstdio>
#include <gtest/gtest.h>

namespace {

using namespace sensorstream;
using namespace std::chrono_literals;
using Clock = StatusView::Clock;
using sensorstream::testing::contentsOf;
using sensorstream::testing::MARCH_2_2014;
using sensorstream::testing::sampleRecord;

const Clock::time_point START{};

// --live: the table on standard output, drawn whether or not that is a terminal;
// otherwise the status line on standard error, only when that is a terminal.
TEST(StatusPlacement, TheTableOnOutputTheStatusLineOnATerminalsError) {
    const struct {
        bool live, outputTerminal, errorTerminal;
        bool onOutput, onTerminal, shown;
    } cases[] = {
        {true, true, false, true, true, true},     {true, false, true, true, false, true},
        {false, true, false, false, false, false}, {false, false, true, false, true, true},
        {false, true, true, false, true, true},    {false, false, false, false, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.live) + std::to_string(c.outputTerminal) +
                     std::to_string(c.errorTerminal));
        const auto placement = placeStatus(c.live, c.outputTerminal, c.errorTerminal);
        EXPECT_EQ(c.onOutput, placement.onOutput);
        EXPECT_EQ(c.onTerminal, placement.onTerminal);
        EXPECT_EQ(c.shown, placement.shown);
    }
}

TEST(StatusLine, WaitsForThePhoneUntilTheFirstReading) {
    MeasurementCounts counts{};
    const MeasurementRates rates{};
    EXPECT_EQ("1.5 s  0 readings, waiting for the phone on UDP port 50000",
              statusLine(1.5, counts, rates, 50000));
    counts[1] = 3;
    EXPECT_EQ("1.5 s  3 readings  accel 0.0/s", statusLine(1.5, counts, rates, 50000));
}

class StatusViewTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(nullptr, screen); }
    void TearDown() override { std::fclose(screen); }

    std::FILE* screen = std::tmpfile();
    Console console{screen, true, false, false};
    ReadingCounts counts;
};

// Drawn at the start, then again only after a period; at the end the status line
// is erased.
TEST_F(StatusViewTest, RedrawsAfterThePeriodAndErasesTheStatusLineAtTheEnd) {
    StatusSettings settings;
    settings.shown = true;
    settings.phones = {{"phone", 50000, ""}};
    StatusView view(console, counts, START, settings);
    view.update(START);
    counts.add(1);
    view.update(START + StatusView::PERIOD - 1ms);
    view.update(START + StatusView::PERIOD + 50ms);
    view.finish(START + 1s);
    EXPECT_EQ("0.0 s  0 readings, waiting for the phone on UDP port 50000"
              "\r\033[J"
              "0.3 s  1 readings  accel 3.3/s" // one reading in 0.3 s
              "\r\033[J",
              contentsOf(screen));
}

TEST_F(StatusViewTest, HiddenDrawsNothing) {
    StatusView view(console, counts, START, StatusSettings{});
    view.update(START);
    view.update(START + 1s);
    view.finish(START + 2s);
    EXPECT_EQ("", contentsOf(screen));
}

// --live: the table with its title above the status line, left on the screen at
// the end, drawn once more with the final counts.
TEST_F(StatusViewTest, TheLastLiveTableStays) {
    LiveTable live;
    StatusSettings settings;
    settings.shown = true;
    settings.live = &live;
    settings.liveTitle = "title";
    StatusView view(console, counts, START, settings);
    view.update(START);
    view.finish(START + 100ms);
    const std::string table =
        "title\n"
        "measurement              rate  achieved  gaps                               "
        " field                      latest  recent\n"
        "(no reading yet)\n";
    EXPECT_EQ(table + "0.0 s  0 readings, waiting for the phone on UDP port 0" + "\r\033[3A\033[J" +
                  table + "0.1 s  0 readings, waiting for the phone on UDP port 0\n",
              contentsOf(screen));
}

// --live with the stream health: each measurement's row shows its stream's
// health, with the silence counted up to the drawing (the view's clock is the
// monotonic one the arrivals are on).
TEST_F(StatusViewTest, TheLiveTableShowsEachStreamsHealth) {
    LiveTable live;
    live.add(0, sampleRecord(1, MARCH_2_2014, {{"X", 1}}));
    live.add(0, sampleRecord(6, MARCH_2_2014, {{"Pitch", 1}}));
    HealthWatch health({"phone"});
    // Acceleration every 20 ms for 0.4 s, a pause of 1 s, again for 0.4 s; the
    // orientation's readings come too seldom to judge.
    for (int i = 0; i <= 20; ++i)
        health.arrived(0, 1, 0.02 * i);
    for (int i = 0; i <= 20; ++i)
        health.arrived(0, 1, 1.4 + 0.02 * i);
    health.arrived(0, 6, 0.0);
    health.arrived(0, 6, 1.0);
    StatusSettings settings;
    settings.shown = true;
    settings.width = 300;
    settings.phones = {{"phone", 50000, ""}};
    settings.live = &live;
    settings.liveTitle = "title";
    settings.health = &health;
    StatusView view(console, counts, START, settings);
    view.update(START + 3s);
    const std::string drawn = contentsOf(screen);
    // 41 intervals in 1.8 s; at 3 s the last acceleration is 1.2 s old.
    EXPECT_NE(std::string::npos, drawn.find("acceleration            0.0/s    22.8/s  "
                                            "1, longest 1.00 s, silent 1.2 s     X "))
        << drawn;
    EXPECT_NE(std::string::npos, drawn.find("orientation             0.0/s     1.0/s  none" +
                                            std::string(30 + 2, ' ') + "Pitch "))
        << drawn;
}

} // namespace
