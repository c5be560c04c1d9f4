#include "file_contents.h"
#include "sample_structures.h"
#include "tools/sensorstream/console.h"
#include "tools/sensorstream/live_table.h"

#include <gtest/gtest.h>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace sensorstream;
using sensorstream::testing::contentsOf;
using sensorstream::testing::MARCH_2_2014;
using sensorstream::testing::sampleRecord;

// The health columns (achieved, gaps) of a stream whose health is not given.
const std::string NO_HEALTH(10 + 2 + 34, ' ');
// The line of column names.
const std::string HEADER = "measurement              rate  achieved  gaps                          "
                           "      field                      latest  recent";
// Under a measurement's first field: its name, rate and health columns.
const std::string BLANK(20 + 9 + NO_HEALTH.size(), ' ');

TEST(Sparkline, ScalesFromTheLowestToTheHighestValue) {
    EXPECT_EQ("\u2581\u2582\u2583\u2584\u2585\u2586\u2587\u2588",
              sparkline({0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ("\u2588\u2581\u2588", sparkline({-5, -10, -5}));
    EXPECT_EQ("\u2584\u2584\u2584", sparkline({2.5, 2.5, 2.5})) << "constant: mid height";
    EXPECT_EQ("\u2581 \u2588", sparkline({0, std::numeric_limits<double>::quiet_NaN(), 1}));
    EXPECT_EQ("", sparkline({}));
}

TEST(LiveTable, ShowsTheLatestValueOfEverySetFieldWithItsHistory) {
    LiveTable table(3);
    MeasurementRates rates{};
    rates[1] = 50.0;
    EXPECT_EQ(std::vector<std::string>({"title", HEADER, "(no reading yet)", "status"}),
              table.lines("title", rates, "status"));

    for (double x : {1.0, 2.0, 3.0, 4.0})
        table.add(sampleRecord(1, MARCH_2_2014, {{"X", x}, {"Y", -x}, {"Z", 9.81}}));
    table.add(sampleRecord(7, MARCH_2_2014, {{"Altitude", 410.08}}));
    table.add(sampleRecord(3, MARCH_2_2014, {{"TrueHeading", 10}}));
    table.add(sampleRecord(5, MARCH_2_2014, {{"X", 2e-5}}));
    const auto lines = table.lines("title", rates, "status");
    ASSERT_EQ(9u, lines.size());
    // Only the last three values are kept: 2, 3, 4 (3 is half way: level 3.5 of 0 to 7,
    // rounded up).
    EXPECT_EQ("acceleration           50.0/s" + NO_HEALTH +
                  "  X                               4  "
                  "\u2581\u2585\u2588",
              lines[2]);
    EXPECT_EQ(BLANK + "  Y                              -4  "
                      "\u2588\u2585\u2581",
              lines[3]);
    EXPECT_EQ(BLANK + "  Z                            9.81  "
                      "\u2584\u2584\u2584",
              lines[4]);
    // Motion first, then heading and location.
    EXPECT_EQ("magnetic field          0.0/s" + NO_HEALTH +
                  "  X                           2e-05  \u2584",
              lines[5]);
    EXPECT_EQ("heading                 0.0/s" + NO_HEALTH +
                  "  TrueHeading                    10  \u2584",
              lines[6]);
    EXPECT_EQ("vertical location       0.0/s" + NO_HEALTH +
                  "  Altitude                   410.08  \u2584",
              lines[7]);
    EXPECT_EQ("status", lines[8]);
}

// Several phones: a section each under its own title with its own rates, in the
// order of the phones, each phone's readings kept apart; the status lines last.
TEST(LiveTable, ASectionForEveryPhone) {
    LiveTable table(3);
    table.add(1, sampleRecord(1, MARCH_2_2014, {{"X", 1}}));
    table.add(1, sampleRecord(1, MARCH_2_2014, {{"X", 2}}));
    table.add(2, sampleRecord(7, MARCH_2_2014, {{"Altitude", 410}}));
    MeasurementRates fast{};
    fast[1] = 100.0;
    const std::vector<LiveTable::Section> sections = {
        {"left: kinedgram (text app) on UDP port 50000", {}},
        {"right: kinescope (binary app) on UDP port 50001", fast},
        {"desk: kinedgram (text app) on UDP port 50002", {}}};
    EXPECT_EQ(std::vector<std::string>(
                  {"title", HEADER, "left: kinedgram (text app) on UDP port 50000",
                   "(no reading yet)", "right: kinescope (binary app) on UDP port 50001",
                   "acceleration          100.0/s" + NO_HEALTH +
                       "  X                               2  \u2581\u2588",
                   "desk: kinedgram (text app) on UDP port 50002",
                   "vertical location       0.0/s" + NO_HEALTH +
                       "  Altitude                      410  \u2584",
                   "status of all", "status of left"}),
              table.lines("title", sections, {"status of all", "status of left"}));
}

arrivals::SeriesHealth streamHealth(double achieved, std::uint64_t gaps, double longest,
                                    std::optional<double> silentFor) {
    arrivals::SeriesHealth health;
    health.achievedRate = achieved;
    health.gaps = gaps;
    if (gaps > 0)
        health.longestGap = arrivals::Gap{10.0, longest, 0.02};
    health.silentFor = silentFor;
    return health;
}

// Each measurement's row tells its stream's health: the rate achieved since its
// first reading, its gaps with the longest, and a silence going on now; a
// measurement whose health is not known leaves those columns blank.
TEST(LiveTable, TheHealthOfEachStreamOnItsRow) {
    EXPECT_EQ("none", gapsText(streamHealth(50, 0, 0, std::nullopt)));
    EXPECT_EQ("2, longest 2.04 s", gapsText(streamHealth(50, 2, 2.0449, std::nullopt)));
    EXPECT_EQ("none, silent 3.1 s", gapsText(streamHealth(50, 0, 0, 3.14)));
    EXPECT_EQ("12, longest 12.50 s, silent 0.4 s", gapsText(streamHealth(5, 12, 12.5, 0.44)));

    LiveTable table(2);
    for (double x : {1.0, 2.0}) {
        table.add(1, sampleRecord(1, MARCH_2_2014, {{"X", x}, {"Y", 0}}));
        table.add(1, sampleRecord(6, MARCH_2_2014, {{"Pitch", x}}));
        table.add(1, sampleRecord(7, MARCH_2_2014, {{"Altitude", x}}));
    }
    MeasurementRates rates{};
    rates[1] = 50.0;
    rates[6] = 49.5;
    LiveTable::Section phone{"right", rates, {}};
    phone.health[1] = streamHealth(49.94, 2, 2.0449, std::nullopt);
    phone.health[6] = streamHealth(12.5, 0, 0, 3.14);
    const auto lines = table.lines("title", {{"left", {}, {}}, phone}, {"status"});
    EXPECT_EQ(std::vector<std::string>(
                  {"title", HEADER, "left", "(no reading yet)", "right",
                   "acceleration           50.0/s    49.9/s  2, longest 2.04 s                   "
                   "X                               2  \u2581\u2588",
                   BLANK + "  Y                               0  \u2584\u2584",
                   "orientation            49.5/s    12.5/s  none, silent 3.1 s                  "
                   "Pitch                           2  \u2581\u2588",
                   "vertical location       0.0/s" + NO_HEALTH +
                       "  Altitude                        2  \u2581\u2588",
                   "status"}),
              lines);
}

TEST(Console, CutsLinesByCharactersNotBytes) {
    EXPECT_EQ("abc", cutToColumns("abcdef", 3));
    EXPECT_EQ("ab\u2581\u2582", cutToColumns("ab\u2581\u2582\u2583", 4));
    EXPECT_EQ("short", cutToColumns("short", 80));
    EXPECT_EQ("", cutToColumns("x", 0));
}

TEST(Console, ErasesTheBlockBeforeOtherTextOnTheSameScreenAndDrawsItAgain) {
    std::FILE* screen = std::tmpfile();
    ASSERT_NE(nullptr, screen);
    Console console(screen, true, false, false);
    console.showBlock({"one", "two"}, 80);
    EXPECT_TRUE(console.write(screen, "line\n"));
    console.showBlock({"three-long"}, 6);
    console.releaseBlock();
    EXPECT_EQ("one\ntwo"             // the block
              "\r\033[1A\033[J"      // erased: start of line, one line up, clear below
              "line\n"               // the text
              "one\ntwo"             // drawn again
              "\r\033[1A\033[Jthree" // replaced, cut to 5 columns
              "\n",                  // left on the screen
              contentsOf(screen));
    std::fclose(screen);

    // Text to another stream that is no terminal leaves the block alone.
    std::FILE* block = std::tmpfile();
    std::FILE* other = std::tmpfile();
    Console separate(block, true, false, false);
    separate.showBlock({"status"}, 80);
    EXPECT_TRUE(separate.write(other, "reading\n"));
    separate.eraseBlock();
    EXPECT_EQ("status\r\033[J", contentsOf(block));
    EXPECT_EQ("reading\n", contentsOf(other));
    std::fclose(block);
    std::fclose(other);
}

} // namespace
