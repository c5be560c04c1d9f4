// sensorview's command line and the phones of --phone.

#include "tools/sensorview/sensorview_options.h"

#include <gtest/gtest.h>

namespace {

using sensorstream::App;
using sensorview::Settings;

Settings parsed(std::vector<std::string> arguments) {
    Settings settings;
    auto parser = sensorview::makeOptionParser(settings);
    parser.parse(arguments);
    sensorview::completeSettings(settings);
    return settings;
}

TEST(SensorviewOptions, DefaultsShowOnePhoneOfEachAppOnLoopback) {
    const auto settings = parsed({});
    ASSERT_EQ(2u, settings.phones.size());
    EXPECT_EQ("text", settings.phones[0].name);
    EXPECT_EQ(App::Text, settings.phones[0].app);
    EXPECT_EQ("binary", settings.phones[1].name);
    EXPECT_EQ(App::Binary, settings.phones[1].app);
    EXPECT_EQ(0, settings.phones[1].port);
    EXPECT_EQ("127.0.0.1", settings.httpAddress);
    EXPECT_EQ("127.0.0.1", settings.bind);
    EXPECT_FALSE(settings.camera);
}

TEST(SensorviewOptions, PhonesByNameAppAndPort) {
    const auto settings =
        parsed({"--phone", "walk=text:50010", "--phone=bike_2=binary", "--camera", "videotestsrc",
                "--http-port", "0", "--max-clients", "2", "--bind", "any"});
    ASSERT_EQ(2u, settings.phones.size());
    EXPECT_EQ("walk", settings.phones[0].name);
    EXPECT_EQ(50010, settings.phones[0].port);
    EXPECT_EQ("bike_2", settings.phones[1].name);
    EXPECT_EQ(App::Binary, settings.phones[1].app);
    EXPECT_EQ(0, settings.phones[1].port);
    EXPECT_EQ("videotestsrc", *settings.camera);
    EXPECT_EQ(0, settings.httpPort);
    EXPECT_EQ(2u, settings.maxClients);
    EXPECT_EQ("", settings.bind);
}

class BadArguments : public ::testing::TestWithParam<std::vector<std::string>> {};

TEST_P(BadArguments, AreUsageErrors) { EXPECT_THROW(parsed(GetParam()), kxtools::UsageError); }

INSTANTIATE_TEST_SUITE_P(
    Phones, BadArguments,
    ::testing::Values(
        std::vector<std::string>{"--phone", "walk"}, std::vector<std::string>{"--phone", "=text"},
        std::vector<std::string>{"--phone", "walk=radio"},
        std::vector<std::string>{"--phone", "walk=text:70000"},
        std::vector<std::string>{"--phone", "walk=text:x"},
        std::vector<std::string>{"--phone", "a b=text"},
        std::vector<std::string>{"--phone", "<script>=text"},
        std::vector<std::string>{"--phone", std::string(33, 'a') + "=text"},
        std::vector<std::string>{"--phone", "a=text", "--phone", "a=binary"},
        std::vector<std::string>{"--phone", "a=text:50000", "--phone", "b=binary:50000"},
        std::vector<std::string>{"--http-address", "localhost"},
        std::vector<std::string>{"--max-clients", "0"},
        std::vector<std::string>{"--client-queue", "1"}, std::vector<std::string>{"--camera", ""},
        std::vector<std::string>{"--bind", "phone.local"}));

} // namespace
