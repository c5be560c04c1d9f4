// The hello and status messages read back as JSON with what the page needs.

#include "tools/sensorstream/tests/json_reader.h"
#include "tools/sensorview/view_messages.h"

#include <gtest/gtest.h>

namespace {

using sensorstream::testing::JsonValue;
using sensorstream::testing::parseJson;
using namespace sensorview;

TEST(ViewMessages, HelloNamesThePhonesTheCameraAndTheMeasurements) {
    const auto json = parseJson(helloJson({{"walk", sensorstream::App::Text, 50000},
                                           {"desk \"2\"", sensorstream::App::Binary, 50001}},
                                          CameraIntro{"videotestsrc", "640x480"}, 64));
    EXPECT_EQ("hello", json.at("type").text);
    const auto& phones = json.at("phones").items;
    ASSERT_EQ(2u, phones.size());
    EXPECT_EQ("walk", phones[0].at("name").text);
    EXPECT_EQ("text", phones[0].at("app").text);
    EXPECT_EQ(50000.0, phones[0].at("port").number);
    EXPECT_EQ("desk \"2\"", phones[1].at("name").text);
    EXPECT_EQ("binary", phones[1].at("app").text);
    EXPECT_EQ("640x480", json.at("camera").at("resolution").text);
    EXPECT_EQ("acceleration", json.at("measurements").at("1").text);
    EXPECT_EQ("horizontal location", json.at("measurements").at("4").text);
    EXPECT_EQ(64.0, json.at("clientQueue").number);

    EXPECT_EQ(JsonValue::Kind::Null, parseJson(helloJson({}, std::nullopt, 8)).at("camera").kind);
}

TEST(ViewMessages, StatusHasRatesTotalsAccountingAndFrames) {
    ViewStatus status;
    status.seconds = 12.5;
    status.clients = 2;
    PhoneStatus phone;
    phone.name = "walk";
    phone.counts[1] = 600;
    phone.counts[4] = 12;
    phone.rates[1] = 49.96;
    phone.rates[4] = 1.0;
    phone.notConverted = 3;
    status.phones.push_back(phone);
    DatagramCounts all;
    all.label = "all phones";
    all.delivered = 612;
    all.fromOtherSender = 5;
    all.droppedBySystem = 0;
    status.accounting.push_back(all);
    status.camera = CameraStatus{300, 29.97, 280};

    const auto json = parseJson(statusJson(status));
    EXPECT_EQ("status", json.at("type").text);
    EXPECT_EQ(2.0, json.at("clients").number);
    const auto& walk = json.at("phones").at("walk");
    EXPECT_EQ(50.0, walk.at("rates").at("1").number); // a tenth is as fine as it gets
    EXPECT_EQ(600.0, walk.at("totals").at("1").number);
    EXPECT_EQ(12.0, walk.at("totals").at("4").number);
    // Measurements never seen are left out.
    EXPECT_EQ(2u, walk.at("totals").members.size());
    EXPECT_EQ(3.0, walk.at("notConverted").number);
    const auto& row = json.at("accounting").items.at(0);
    EXPECT_EQ("all phones", row.at("label").text);
    EXPECT_EQ(612.0, row.at("delivered").number);
    EXPECT_EQ(5.0, row.at("fromOtherSender").number);
    // A count the source does not keep is null, not 0.
    EXPECT_EQ(JsonValue::Kind::Null, row.at("malformed").kind);
    EXPECT_EQ(0.0, row.at("droppedBySystem").number);
    EXPECT_EQ(280.0, json.at("camera").at("sent").number);
}

} // namespace
