#include "tools/phonesim/phonesim_options.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using namespace phonesim;
using kxtools::UsageError;

Settings parsed(const std::vector<std::string>& arguments) {
    Settings settings;
    auto parser = makeOptionParser(settings);
    EXPECT_EQ(kxtools::OptionParser::Outcome::Run, parser.parse(arguments));
    checkSettings(settings);
    return settings;
}

std::string mistake(const std::vector<std::string>& arguments) {
    try {
        parsed(arguments);
    } catch (const UsageError& error) {
        return error.what();
    }
    return "(accepted)";
}

TEST(PhonesimOptions, DefaultsAndEveryOption) {
    const Settings d = parsed({});
    EXPECT_FALSE(d.app.has_value());
    EXPECT_EQ("127.0.0.1", d.host);
    EXPECT_EQ(50000, d.port);
    EXPECT_FALSE(d.rate || d.count || d.duration || d.seed || d.quiet);

    const Settings s = parsed({"--app", "binary", "--host", "localhost", "--port=5555", "--rate",
                               "12.5", "--count", "10", "--duration", "2.5", "--seed", "77",
                               "--bind", "127.0.0.2", "--record", "out.txt", "-q"});
    EXPECT_EQ(App::Binary, s.app.value());
    EXPECT_EQ("localhost", s.host);
    EXPECT_EQ(5555, s.port);
    EXPECT_EQ(12.5, s.rate.value());
    EXPECT_EQ(10u, s.count.value());
    EXPECT_EQ(2.5, s.duration.value());
    EXPECT_EQ(77u, s.seed.value());
    EXPECT_EQ("127.0.0.2", s.bindAddress);
    EXPECT_EQ("out.txt", s.recordPath);
    EXPECT_TRUE(s.quiet);
    EXPECT_EQ("in.txt", parsed({"--replay", "in.txt", "--rate", "100"}).replayPath);
    // A replay is paced by datagrams, far beyond the walk's motion rate.
    EXPECT_EQ(500000.0, parsed({"--replay", "in.txt", "--rate", "500000"}).rate.value());
    EXPECT_EQ(4.0, parsed({"--replay", "in.txt", "--speed", "4"}).speed.value());
    EXPECT_FALSE(parsed({"--replay", "in.txt"}).speed.has_value());
}

TEST(PhonesimOptions, MistakesAreExplained) {
    const struct {
        std::vector<std::string> arguments;
        const char* message;
    } cases[] = {
        {{"--app", "phone"}, "--app: 'phone' is not an app (text or binary)"},
        {{"--rate", "fast"}, "--rate: 'fast' is not a number"},
        {{"--rate", "0"}, "--rate: '0' is out of range (0.01 to 500000)"},
        {{"--rate", "10001"},
         "--rate: the walk has at most 10000 motion readings a second "
         "(--replay sends faster)"},
        {{"--replay", "a", "--rate", "500001"},
         "--rate: '500001' is out of range (0.01 to 500000)"},
        {{"--port", "0"}, "--port: '0' is out of range (1 to 65535)"},
        {{"--port", "65536"}, "--port: '65536' is out of range (1 to 65535)"},
        {{"--count", "-3"}, "--count: '-3' is negative"},
        {{"--duration", "soon"}, "--duration: 'soon' is not a number"},
        {{"--seed", "1.5"}, "--seed: '1.5' is not a whole number"},
        {{"--host", ""}, "--host: the host is empty"},
        {{"--port"}, "--port needs a value (PORT)"},
        {{"--frobnicate"}, "unknown option '--frobnicate'"},
        {{"127.0.0.1"}, "unexpected argument '127.0.0.1'"},
        {{"--replay", "a", "--seed", "2"}, "--seed has no effect with --replay"},
        {{"--replay", "a", "--record", "a"}, "--record would overwrite the --replay file"},
        {{"--speed", "2"}, "--speed paces a replay: it needs --replay"},
        {{"--replay", "a", "--speed", "2", "--rate", "10"},
         "--speed and --rate both pace the replay: give one"},
        {{"--replay", "a", "--speed", "0"}, "--speed: '0' is out of range (0.01 to 10000)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.message, mistake(c.arguments));
}

TEST(PhonesimOptions, HelpNamesEveryOption) {
    Settings settings;
    const std::string help = makeOptionParser(settings).helpText();
    for (const char* option :
         {"--app text|binary", "--host HOST", "--port PORT", "--rate HZ", "--count N",
          "--duration S", "--seed N", "--bind ADDR", "--record FILE", "--replay FILE", "--speed X",
          "--quiet", "--help", "--version"})
        EXPECT_NE(std::string::npos, help.find(option)) << option;
}

} // namespace
