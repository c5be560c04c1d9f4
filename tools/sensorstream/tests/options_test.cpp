#include "tools/sensorstream/sensorstream_options.h"

#include <gtest/gtest.h>

namespace {

using namespace sensorstream;

TEST(SensorstreamOptions, DottedAddresses) {
    for (const char* good : {"127.0.0.1", "0.0.0.0", "255.255.255.255", "192.168.1.20", "10.0.0.5"})
        EXPECT_TRUE(isDottedIPv4(good)) << good;
    for (const char* bad :
         {"", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1.2.3.04", "01.2.3.4", "a.b.c.d", "1.2.3.4 ",
          " 1.2.3.4", "1..3.4", "1.2.3.", "1234.1.1.1", "::1", "localhost"})
        EXPECT_FALSE(isDottedIPv4(bad)) << bad;
}

// 127.0.0.0/8 lets in only this computer; every other address, and every address
// at once (empty), can let a phone in.
TEST(SensorstreamOptions, LoopbackOnlyAddresses) {
    for (const char* loopback : {"127.0.0.1", "127.1.2.3", "127.255.255.255"})
        EXPECT_TRUE(isLoopbackOnly(loopback)) << loopback;
    for (const char* reachable : {"", "0.0.0.0", "192.168.1.20", "10.127.0.1", "1.127.0.0"})
        EXPECT_FALSE(isLoopbackOnly(reachable)) << reachable;
}

TEST(SensorstreamOptions, DefaultsListenOnLoopbackWithTheDevicesPortSearch) {
    Settings settings;
    auto parser = makeOptionParser(settings);
    ASSERT_EQ(kxtools::OptionParser::Outcome::Run, parser.parse(std::vector<std::string>{}));
    EXPECT_EQ(App::Text, settings.app);
    EXPECT_EQ(0, settings.port);
    EXPECT_EQ("127.0.0.1", settings.bind);
    EXPECT_EQ(Format::Json, settings.format);
    EXPECT_FALSE(settings.count);
    EXPECT_FALSE(settings.duration);
    EXPECT_FALSE(settings.live);
    EXPECT_EQ(10.0, settings.hintAfter);
}

TEST(SensorstreamOptions, EveryOptionIsApplied) {
    for (const char* any : {"any", "0.0.0.0"}) {
        Settings settings;
        auto parser = makeOptionParser(settings);
        parser.parse(std::vector<std::string>{
            "--app", "binary", "--port", "50001", "--bind", any, "--format", "csv", "--output",
            "x.csv", "--count", "12", "--duration", "2.5", "--live", "--no-data-hint", "0"});
        EXPECT_EQ(App::Binary, settings.app);
        EXPECT_EQ(50001, settings.port);
        EXPECT_EQ("", settings.bind) << "every address";
        EXPECT_EQ(Format::Csv, settings.format);
        EXPECT_EQ("x.csv", settings.outputPath);
        EXPECT_EQ(12u, settings.count.value_or(0));
        EXPECT_EQ(2.5, settings.duration.value_or(0));
        EXPECT_TRUE(settings.live);
        EXPECT_EQ(0.0, settings.hintAfter);
    }
    EXPECT_STREQ("kinescope", devicePluginName(App::Binary));
    EXPECT_STREQ("kinedgram", devicePluginName(App::Text));
}

} // namespace
