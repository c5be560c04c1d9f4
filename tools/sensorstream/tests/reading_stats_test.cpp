#include "tools/sensorstream/reading_stats.h"

#include <gtest/gtest.h>

namespace {

using namespace sensorstream;
using namespace std::chrono_literals;

TEST(ReadingCounts, CountsPerMeasurementAndOutOfRangeAsOther) {
    ReadingCounts counts;
    for (std::int32_t m : {1, 1, 5, 7, 0, 9, -2})
        counts.add(m);
    const auto snapshot = counts.snapshot();
    EXPECT_EQ(3u, snapshot[0]);
    EXPECT_EQ(2u, snapshot[1]);
    EXPECT_EQ(1u, snapshot[5]);
    EXPECT_EQ(1u, snapshot[7]);
    EXPECT_EQ(7u, totalOf(snapshot));
    // A batch's counts are added to every counter at once.
    MeasurementCounts batch{};
    batch[counterOf(1)] = 10;
    batch[counterOf(42)] = 2;
    counts.add(batch);
    EXPECT_EQ(12u, counts.snapshot()[1]);
    EXPECT_EQ(5u, counts.snapshot()[0]);
    EXPECT_EQ(19u, totalOf(counts.snapshot()));
}

TEST(RateMeter, MeasuresOverTheLastWindow) {
    RateMeter meter(2s);
    const auto t0 = RateMeter::Clock::time_point{};
    EXPECT_EQ(0.0, meter.rates()[1]) << "no rate from one sample";
    MeasurementCounts counts{};
    meter.sample(t0, counts);
    counts[1] = 50;
    counts[4] = 1;
    meter.sample(t0 + 1s, counts);
    EXPECT_DOUBLE_EQ(50.0, meter.rates()[1]);
    EXPECT_DOUBLE_EQ(1.0, meter.rates()[4]);
    // After a quiet spell the rate falls: the window holds 1 s to 3.5 s only.
    meter.sample(t0 + 2s, counts);
    meter.sample(t0 + 3500ms, counts);
    EXPECT_DOUBLE_EQ(0.0, meter.rates()[1]);
}

TEST(ReadingStats, StatusAndSummaryTexts) {
    MeasurementCounts counts{};
    MeasurementRates rates{};
    EXPECT_EQ("0.0 s  0 readings", statusText(0.0, counts, rates));
    counts[1] = 100;
    counts[5] = 100;
    counts[4] = 2;
    rates[1] = 50.0;
    rates[5] = 49.96;
    rates[4] = 1.0;
    EXPECT_EQ("2.0 s  202 readings  accel 50.0/s  magnet 50.0/s  location 1.0/s",
              statusText(2.04, counts, rates));

    Accounting all;
    all.written = 202;
    all.output = 202;
    EXPECT_EQ("202 readings in 2.0 s (101.0 a second): acceleration 100, magnetic field 100, "
              "horizontal location 2\n"
              "buffers written by the device 202, readings output 202: none lost\n",
              summaryText(2.0, counts, all));

    Accounting partial;
    partial.written = 210;
    partial.output = 202;
    partial.afterCount = 3;
    partial.notConverted = 1;
    partial.refused = 4;
    EXPECT_EQ(4u, lostOf(partial));
    EXPECT_EQ("202 readings in 0.0 s (0.0 a second): acceleration 100, magnetic field 100, "
              "horizontal location 2\n"
              "buffers written by the device 210, readings output 202, 3 more after --count was "
              "reached, 1 the converter made nothing of: 4 lost (4 refused by the channel)\n",
              summaryText(0.0, counts, partial));
    EXPECT_EQ("0 readings in 1.0 s (0.0 a second)\n"
              "buffers written by the device 0, readings output 0: none lost\n",
              summaryText(1.0, MeasurementCounts{}, Accounting{}));
}

} // namespace
