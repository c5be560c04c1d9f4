#include "tools/arrivals/health_report.h"
#include "tools/sensorstream/tests/json_reader.h"

#include <gtest/gtest.h>

namespace {

using arrivals::DatagramAccounting;
using arrivals::HealthBoard;
using sensorstream::testing::JsonValue;
using sensorstream::testing::parseJson;

// Two phones: "left" with acceleration at 50 a second and a 1.5 s pause, and a fix
// once a second; "right" with orientation only.
HealthBoard twoPhones() {
    HealthBoard board;
    for (int i = 0; i < 200; ++i) {
        const double t = 100.0 + i * 0.02 + (i >= 100 ? 1.5 : 0.0);
        board.arrived("left", "acceleration", t);
        if (i % 50 == 0)
            board.arrived("left", "location", t);
        board.arrived("right", "orientation", t + 0.001);
    }
    board.account("left", DatagramAccounting{410, 3, 2, 1});
    return board;
}

TEST(HealthReport, PhonesAndMeasurementsInTheirOrderOfArrival) {
    const auto report = twoPhones().report();
    ASSERT_EQ(2u, report.size());
    EXPECT_EQ("left", report[0].phone);
    EXPECT_EQ("right", report[1].phone);
    ASSERT_EQ(2u, report[0].streams.size());
    EXPECT_EQ("acceleration", report[0].streams[0].measurement);
    EXPECT_EQ("location", report[0].streams[1].measurement);
    EXPECT_EQ(200u, report[0].streams[0].health.readings);
    EXPECT_EQ(4u, report[0].streams[1].health.readings);
    EXPECT_EQ(1u, report[0].streams[0].health.gaps);
    // The second phone's stream is tracked on its own: a gap at the same time.
    EXPECT_EQ(1u, report[1].streams[0].health.gaps);
    EXPECT_TRUE(report[0].datagrams.has_value());
    EXPECT_FALSE(report[1].datagrams.has_value());
}

TEST(HealthReport, JsonHoldsEveryFigure) {
    const HealthBoard board = twoPhones();
    const JsonValue json = parseJson(healthJson(board.report(), board.gapRule()));
    EXPECT_EQ(32.0, json.at("gapRule").at("window").number);
    EXPECT_EQ(4.0, json.at("gapRule").at("factor").number);
    const auto& phones = json.at("phones").items;
    ASSERT_EQ(2u, phones.size());

    const JsonValue& left = phones[0];
    EXPECT_EQ("left", left.at("phone").text);
    const JsonValue& datagrams = left.at("datagrams");
    EXPECT_EQ(410.0, datagrams.at("delivered").number);
    EXPECT_EQ(3.0, datagrams.at("fromOtherSenders").number);
    EXPECT_EQ(2.0, datagrams.at("malformed").number);
    EXPECT_EQ(1.0, datagrams.at("droppedBySystem").number);

    const JsonValue& acceleration = left.at("measurements").items.at(0);
    EXPECT_EQ("acceleration", acceleration.at("measurement").text);
    EXPECT_EQ(200.0, acceleration.at("readings").number);
    EXPECT_NEAR(100.0, acceleration.at("first").number, 1e-6);
    EXPECT_NEAR(100.0 + 199 * 0.02 + 1.5, acceleration.at("last").number, 1e-6);
    EXPECT_NEAR(199.0 / (198 * 0.02 + 1.52), acceleration.at("achievedRate").number, 1e-3);
    EXPECT_NEAR(0.02, acceleration.at("usualInterval").number, 1e-6);
    EXPECT_EQ(1.0, acceleration.at("gaps").number);
    const JsonValue& gap = acceleration.at("longestGap");
    EXPECT_NEAR(100.0 + 99 * 0.02, gap.at("start").number, 1e-6);
    EXPECT_NEAR(1.52, gap.at("seconds").number, 1e-6);

    // A stream with no gap says so with null; a phone with no accounting has none.
    const JsonValue& location = left.at("measurements").items.at(1);
    EXPECT_EQ(JsonValue::Kind::Null, location.at("longestGap").kind);
    EXPECT_EQ(0.0, location.at("gaps").number);
    EXPECT_THROW(phones[1].at("datagrams"), std::runtime_error);
}

TEST(HealthReport, NamesAreEscapedAndAnEmptyRunIsValid) {
    HealthBoard board;
    board.arrived("say \"hi\"\\\n", "other", 1.0);
    const JsonValue json = parseJson(healthJson(board.report(), board.gapRule()));
    EXPECT_EQ("say \"hi\"\\\n", json.at("phones").items.at(0).at("phone").text);

    const HealthBoard empty;
    EXPECT_TRUE(parseJson(healthJson(empty.report(), empty.gapRule())).at("phones").items.empty());
}

TEST(HealthReport, OneLinePerStream) {
    const auto report = twoPhones().report();
    EXPECT_EQ("36.3/s, 1 gap (longest 1.52 s)", healthText(report[0].streams[0].health));
    EXPECT_EQ("0.7/s, no gaps", healthText(report[0].streams[1].health));

    HealthBoard board;
    for (int i = 0; i < 20; ++i)
        board.arrived("p", "heading", i * 0.1);
    EXPECT_EQ("10.0/s, no gaps, silent 3.1 s",
              healthText(board.report(1.9 + 3.1).at(0).streams.at(0).health));
}

} // namespace
