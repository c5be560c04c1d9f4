#include "tools/sensorstream/datagram_recording.h"
#include "tools/sensorstream/health_watch.h"

#include <gtest/gtest.h>

namespace {

using sensorstream::HealthWatch;

// Two phones; "left" sends orientation (6) then acceleration (1) at 50 a second with
// a 1 s pause in its acceleration, "right" nothing.
void feedRun(HealthWatch& watch) {
    for (int i = 0; i < 100; ++i) {
        const double t = 10.0 + i * 0.02 + (i >= 50 ? 1.0 : 0.0);
        watch.arrived(0, 6, 10.0 + i * 0.02);
        watch.arrived(0, 1, t);
    }
}

TEST(HealthWatch, ReportsPhonesInTheirOrderAndMeasurementsInTheirsOfArrival) {
    HealthWatch watch({"left", "right"});
    feedRun(watch);
    const auto report = watch.report();
    ASSERT_EQ(2u, report.size());
    EXPECT_EQ("left", report[0].phone);
    ASSERT_EQ(2u, report[0].streams.size());
    EXPECT_EQ("orientation", report[0].streams[0].measurement);
    EXPECT_EQ("acceleration", report[0].streams[1].measurement);
    EXPECT_EQ(0u, report[0].streams[0].health.gaps);
    EXPECT_EQ(1u, report[0].streams[1].health.gaps);
    EXPECT_TRUE(report[1].streams.empty());
}

TEST(HealthWatch, SummaryAndStatusLines) {
    HealthWatch watch({"left", "right"});
    feedRun(watch);
    EXPECT_EQ(
        std::vector<std::string>{"left: orientation 50.0/s, no gaps; acceleration 33.2/s, 1 gap "
                                 "(longest 1.02 s)"},
        watch.summaryLines());
    // Just after orientation's last reading nothing is silent; later both are.
    EXPECT_EQ("gaps 1 (longest 1.02 s)", watch.statusText(11.98 + 0.01));
    EXPECT_EQ("gaps 1 (longest 1.02 s); left orientation silent 3.0 s; left acceleration silent "
              "2.0 s",
              watch.statusText(12.98 + 2.0));
}

TEST(HealthWatch, UnknownCodesAreOtherAndUnknownPhonesAreIgnored) {
    HealthWatch watch({"p"});
    watch.arrived(0, 99, 1.0);
    watch.arrived(0, -1, 1.5);
    watch.arrived(3, 1, 2.0);
    const auto report = watch.report();
    ASSERT_EQ(1u, report.size());
    ASSERT_EQ(1u, report[0].streams.size());
    EXPECT_EQ("other", report[0].streams[0].measurement);
    EXPECT_EQ(2u, report[0].streams[0].health.readings);
}

TEST(DatagramRecording, OneFileAPhoneNamedAfterIt) {
    using sensorstream::recordingPath;
    EXPECT_EQ("walk.txt", recordingPath("walk.txt", "left", false));
    EXPECT_EQ("walk-left.txt", recordingPath("walk.txt", "left", true));
    EXPECT_EQ("out/walk.v2-left.txt", recordingPath("out/walk.v2.txt", "left", true));
    EXPECT_EQ("out.d/walk-left", recordingPath("out.d/walk", "left", true));
    EXPECT_EQ(".walk-left", recordingPath(".walk", "left", true));
}

} // namespace
