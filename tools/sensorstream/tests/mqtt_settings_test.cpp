// --mqtt and its companions, and the topics readings go out under.

#include "tools/sensorstream/mqtt_settings.h"
#include "tools/sensorstream/mqtt_topics.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using kxtools::UsageError;
using sensorstream::MqttSettings;

MqttSettings parsed(const std::vector<std::string>& arguments, const char* environment = nullptr) {
    MqttSettings settings;
    kxtools::OptionParser parser("sensorstream", "", "");
    sensorstream::addMqttOptions(parser, settings);
    parser.parse(arguments);
    sensorstream::completeMqttSettings(settings, environment);
    return settings;
}

std::string usageErrorOf(const std::vector<std::string>& arguments) {
    try {
        parsed(arguments);
    } catch (const UsageError& error) {
        return error.what();
    }
    return "";
}

TEST(MqttSettings, NoBrokerByDefault) {
    const auto settings = parsed({});
    EXPECT_FALSE(settings.enabled());
    EXPECT_EQ("sensorstream", settings.prefix);
    EXPECT_EQ(1, settings.qos);
    EXPECT_EQ(100000u, settings.queueLimit);
}

TEST(MqttSettings, BrokerAddressesWithAndWithoutPort) {
    struct Case {
        const char* text;
        const char* host;
        std::uint16_t port;
        const char* address;
    };
    for (const auto& c : {Case{"broker.lab", "broker.lab", 1883, "broker.lab:1883"},
                          Case{"127.0.0.1:1884", "127.0.0.1", 1884, "127.0.0.1:1884"},
                          Case{"[::1]", "::1", 1883, "[::1]:1883"},
                          Case{"[fe80::1]:8000", "fe80::1", 8000, "[fe80::1]:8000"}}) {
        const auto settings = parsed({"--mqtt", c.text});
        EXPECT_EQ(c.host, settings.host) << c.text;
        EXPECT_EQ(c.port, settings.effectivePort()) << c.text;
        EXPECT_EQ(c.address, settings.address()) << c.text;
    }
}

TEST(MqttSettings, TlsMovesTheDefaultPort) {
    const std::string ca = ::testing::TempDir() + "mqtt_settings_test_ca.pem";
    {
        std::FILE* file = std::fopen(ca.c_str(), "w");
        ASSERT_NE(nullptr, file);
        std::fclose(file);
    }
    EXPECT_EQ(8883, parsed({"--mqtt", "lab", "--mqtt-ca", ca}).effectivePort());
    EXPECT_EQ(1883, parsed({"--mqtt", "lab:1883", "--mqtt-ca", ca}).effectivePort());
    std::remove(ca.c_str());
}

TEST(MqttSettings, EveryOptionIsApplied) {
    const auto settings = parsed({"--mqtt", "lab:1999", "--mqtt-prefix", "physics/room-4",
                                  "--mqtt-qos", "0", "--mqtt-client-id", "bench-3", "--mqtt-user",
                                  "ana", "--mqtt-password", "secret", "--mqtt-queue", "25"});
    EXPECT_EQ("physics/room-4", settings.prefix);
    EXPECT_EQ(0, settings.qos);
    EXPECT_EQ("bench-3", settings.clientId);
    EXPECT_EQ("ana", settings.user);
    EXPECT_EQ("secret", settings.password);
    EXPECT_EQ(25u, settings.queueLimit);
}

TEST(MqttSettings, PasswordFromTheEnvironmentOnlyWhenNoneIsGiven) {
    EXPECT_EQ("from-env", parsed({"--mqtt", "lab", "--mqtt-user", "ana"}, "from-env").password);
    EXPECT_EQ("given", parsed({"--mqtt", "lab", "--mqtt-user", "ana", "--mqtt-password", "given"},
                              "from-env")
                           .password);
    EXPECT_EQ("", parsed({"--mqtt", "lab"}, "from-env").password) << "no user, no password";
}

// Each mistake is a usage error that names the option and what is wrong.
TEST(MqttSettings, MistakesAreUsageErrorsThatSayWhat) {
    struct Case {
        std::vector<std::string> arguments;
        const char* says;
    };
    const std::vector<Case> cases = {
        {{"--mqtt", ""}, "--mqtt: the broker's host is empty"},
        {{"--mqtt", ":1883"}, "--mqtt: the broker's host is empty"},
        {{"--mqtt", "lab:0"}, "--mqtt port: '0' is out of range"},
        {{"--mqtt", "lab:70000"}, "--mqtt port: '70000' is out of range"},
        {{"--mqtt", "lab:x"}, "--mqtt port: 'x' is not a whole number"},
        {{"--mqtt", "::1"}, "write an IPv6 address in brackets"},
        {{"--mqtt", "[::1"}, "is not HOST, HOST:PORT or [IPv6]:PORT"},
        {{"--mqtt", "lab host"}, "is not a host name or address"},
        {{"--mqtt", "lab", "--mqtt-qos", "2"}, "--mqtt-qos: '2' is not a QoS (0 or 1)"},
        {{"--mqtt", "lab", "--mqtt-prefix", "a/+/b"}, "wildcards"},
        {{"--mqtt", "lab", "--mqtt-prefix", "a/#"}, "wildcards"},
        {{"--mqtt", "lab", "--mqtt-prefix", "$SYS/x"}, "belong to the broker"},
        {{"--mqtt", "lab", "--mqtt-prefix", "a//b"}, "a level of the prefix is empty"},
        {{"--mqtt", "lab", "--mqtt-prefix", "/a"}, "a level of the prefix is empty"},
        {{"--mqtt", "lab", "--mqtt-prefix", ""}, "the prefix is empty"},
        {{"--mqtt", "lab", "--mqtt-prefix", "my lab"}, "printable ASCII without spaces"},
        {{"--mqtt", "lab", "--mqtt-queue", "0"}, "--mqtt-queue: '0' is out of range"},
        {{"--mqtt", "lab", "--mqtt-queue", "many"}, "--mqtt-queue: 'many' is not a whole number"},
        {{"--mqtt", "lab", "--mqtt-client-id", ""}, "--mqtt-client-id"},
        {{"--mqtt", "lab", "--mqtt-user", ""}, "--mqtt-user: the user name is empty"},
        {{"--mqtt", "lab", "--mqtt-password", "p"}, "--mqtt-password needs --mqtt-user"},
        {{"--mqtt", "lab", "--mqtt-ca", "/no/such/ca.pem"}, "--mqtt-ca: cannot read"},
        {{"--mqtt-qos", "0"}, "--mqtt-qos needs --mqtt HOST[:PORT]"},
        {{"--mqtt-prefix", "x", "--mqtt-user", "u"}, "--mqtt-prefix needs --mqtt"},
    };
    for (const auto& c : cases) {
        const std::string error = usageErrorOf(c.arguments);
        EXPECT_NE(std::string::npos, error.find(c.says))
            << ::testing::PrintToString(c.arguments) << " said: " << error;
    }
}

TEST(MqttTopics, LevelsHoldNoWildcardSeparatorOrSpace) {
    EXPECT_EQ("rotation_rate", sensorstream::topicLevel("rotation rate"));
    EXPECT_EQ("left-Hand_2", sensorstream::topicLevel("left-Hand_2"));
    EXPECT_EQ("a_b_c_d_e", sensorstream::topicLevel("a/b+c#d e"));
    EXPECT_EQ("_", sensorstream::topicLevel(""));
    EXPECT_EQ("__", sensorstream::topicLevel("\xc3\xa9")) << "each byte of UTF-8";
}

TEST(MqttTopics, OneTopicPerPhoneAndMeasurement) {
    const sensorstream::TopicTable topics("lab/run", {"left", "right"});
    EXPECT_EQ("lab/run/left/acceleration", topics.topic(0, 1));
    EXPECT_EQ("lab/run/right/rotation_rate", topics.topic(1, 2));
    EXPECT_EQ("lab/run/right/horizontal_location", topics.topic(1, 4));
    EXPECT_EQ("lab/run/left/magnetic_field", topics.topic(0, 5));
    EXPECT_EQ("lab/run/left/vertical_location", topics.topic(0, 7));
    EXPECT_EQ("lab/run/left/other", topics.topic(0, 0));
    EXPECT_EQ("lab/run/left/other", topics.topic(0, 99)) << "a code no sensor has";
    EXPECT_THROW(topics.topic(2, 1), std::out_of_range);
}

} // namespace
