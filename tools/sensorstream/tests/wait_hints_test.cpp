#include "tools/sensorstream/wait_hints.h"

#include <gtest/gtest.h>

namespace {

using namespace sensorstream;
using namespace std::chrono_literals;
using Clock = WaitHints::Clock;
using Hints = std::vector<WaitHint>;

const Clock::time_point START{};

Settings completed(Settings settings) {
    completeSettings(settings, nullptr);
    return settings;
}

// The no-datagram hint comes once, when the time has passed with no datagram, and
// not at all when the phone was heard or readings came.
TEST(WaitHints, NoDatagramHintOnceAfterItsTime) {
    WaitHints hints(START, 2.5);
    EXPECT_EQ(Hints{}, hints.due(START, std::nullopt, false));
    EXPECT_EQ(Hints{}, hints.due(START + 2499ms, std::nullopt, false));
    EXPECT_EQ(Hints{WaitHint::NoDatagram}, hints.due(START + 2500ms, std::nullopt, false));
    EXPECT_EQ(Hints{}, hints.due(START + 2600ms, std::nullopt, false)) << "said once";
    EXPECT_EQ(Hints{}, hints.due(START + 60s, std::nullopt, false)) << "said once";

    WaitHints heard(START, 2.5);
    EXPECT_EQ(Hints{}, heard.due(START + 3s, START + 1s, false));
    WaitHints reading(START, 2.5);
    EXPECT_EQ(Hints{}, reading.due(START + 3s, std::nullopt, true));
}

TEST(WaitHints, NoDatagramHintNeverWhenSwitchedOff) {
    WaitHints hints(START, 0.0);
    EXPECT_EQ(Hints{}, hints.due(START, std::nullopt, false));
    EXPECT_EQ(Hints{}, hints.due(START + 1h, std::nullopt, false));
}

// Datagrams that become no reading: the format hint, once, three seconds after the
// first datagram (not after the start); never once a reading came.
TEST(WaitHints, OtherFormatHintOnceWhenDatagramsBecomeNoReading) {
    WaitHints hints(START, 10.0);
    const auto first = START + 20s;
    EXPECT_EQ(Hints{}, hints.due(first + 2999ms, first, false));
    EXPECT_EQ(Hints{WaitHint::OtherFormat}, hints.due(first + 3s, first, false));
    EXPECT_EQ(Hints{}, hints.due(first + 10s, first, false)) << "said once";

    WaitHints converted(START, 10.0);
    EXPECT_EQ(Hints{}, converted.due(first + 5s, first, true));
}

TEST(WaitHints, NoDatagramHintTellsWhatToCheck) {
    Settings settings;
    settings.app = App::Binary;
    settings.hintAfter = 0.2;
    settings.bind = "192.168.1.20";
    const std::string text = hintText(WaitHint::NoDatagram, completed(settings), 0, 50001);
    EXPECT_EQ(0u, text.find("no datagram has arrived in 0.2 s. Check that:\n")) << text;
    for (const char* advice :
         {"  - the phone is on the same network as this computer;\n",
          "  - the app sends to one of the addresses printed above, port 50001;\n",
          "  - the app's format matches --app binary (fixed-length binary records);\n",
          "  - a firewall lets UDP in on port 50001 (for example: sudo ufw allow 50001/udp)"})
        EXPECT_NE(std::string::npos, text.find(advice)) << advice << " in " << text;
    EXPECT_EQ(std::string::npos, text.find("--bind")) << "a phone can reach 192.168.1.20";

    settings.app = App::Text;
    settings.bind = "127.0.0.1";
    const std::string loopback = hintText(WaitHint::NoDatagram, completed(settings), 0, 50001);
    EXPECT_NE(std::string::npos, loopback.find("--app text (comma-separated text lines)"));
    EXPECT_NE(std::string::npos,
              loopback.find(";\n  - sensorstream listens on 127.0.0.1 only: a phone needs --bind "
                            "0.0.0.0"))
        << loopback;
}

TEST(WaitHints, OtherFormatHintNamesTheApp) {
    Settings settings;
    settings.app = App::Text;
    EXPECT_EQ("datagrams arrive but none is a reading of the text app: does the app's format "
              "match --app text?",
              hintText(WaitHint::OtherFormat, completed(settings), 0, 50000));
}

// With several phones each hint names its phone and port, and the option that sets
// the phone's app is --phone.
TEST(WaitHints, WithSeveralPhonesTheHintNamesThePhone) {
    Settings settings;
    settings.phones = {{"left", App::Text, 50000}, {"right", App::Binary, 50001}};
    const std::string text = hintText(WaitHint::NoDatagram, completed(settings), 1, 50001);
    EXPECT_EQ(0u, text.find("phone right (UDP port 50001): no datagram has arrived")) << text;
    EXPECT_NE(std::string::npos,
              text.find("the app's format matches --phone right=binary (fixed-length"))
        << text;
    EXPECT_EQ("phone left (UDP port 50000): datagrams arrive but none is a reading of the text "
              "app: does the app's format match --phone left=text?",
              hintText(WaitHint::OtherFormat, completed(settings), 0, 50000));
}

} // namespace
