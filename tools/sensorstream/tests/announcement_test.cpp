#include "tools/sensorstream/announcement.h"

#include <gtest/gtest.h>

namespace {

using namespace sensorstream;
using Lines = std::vector<std::string>;

// The settings as the program has them once every option is read.
Settings completed(Settings settings) {
    completeSettings(settings, nullptr);
    return settings;
}

TEST(Announcement, SaysWhereToPointThePhone) {
    Settings settings;
    settings.app = App::Binary;
    settings.bind = "";
    settings.count = 10;
    EXPECT_EQ(Lines({"kinescope (binary app) listening on every address of this computer, UDP "
                     "port 50000",
                     "point the phone app at port 50000 and one of this computer's addresses: "
                     "192.168.1.20, 10.0.0.5"}),
              announcementLines(completed(settings), {"192.168.1.20", "10.0.0.5"}, {50000}));
}

// Loopback: the phone cannot reach it, said once in the announcement; with no
// --count or --duration, how to stop.
TEST(Announcement, WarnsWhenNoPhoneCanReachTheAddress) {
    Settings settings;
    EXPECT_EQ(Lines({"kinedgram (text app) listening on 127.0.0.1, UDP port 50001",
                     "this computer has no network address besides loopback: a phone cannot "
                     "reach it",
                     "127.0.0.1 is reachable from this computer only; start with --bind 0.0.0.0 "
                     "to let a phone in",
                     "Ctrl-C stops"}),
              announcementLines(completed(settings), {}, {50001}));

    settings.bind = "192.168.1.20";
    settings.duration = 5.0;
    EXPECT_EQ(Lines({"kinedgram (text app) listening on 192.168.1.20, UDP port 50001",
                     "point the phone app at port 50001 and one of this computer's addresses: "
                     "192.168.1.20"}),
              announcementLines(completed(settings), {"192.168.1.20"}, {50001}));
}

TEST(Announcement, LiveTitleNamesTheDeviceAndWhereItListens) {
    Settings settings;
    EXPECT_EQ("sensorstream: kinedgram (text app) on 127.0.0.1:50000   (Ctrl-C ends)",
              liveTitle(completed(settings), {50000}));
    settings.app = App::Binary;
    settings.bind = "";
    EXPECT_EQ("sensorstream: kinescope (binary app) on 0.0.0.0:49152   (Ctrl-C ends)",
              liveTitle(completed(settings), {49152}));
}

// Several phones: a line each with its own port, that no two can share one, and
// where the readings are published.
TEST(Announcement, NamesEveryPhonesPortAndTheBroker) {
    Settings settings;
    settings.bind = "";
    settings.duration = 5.0;
    settings.phones = {{"left", App::Text, 50000}, {"right", App::Binary, 0}};
    settings.mqtt.host = "broker.lab";
    settings.mqtt.prefix = "lab/walk";
    settings.mqtt.qos = 0;
    settings.mqtt.queueLimit = 500;
    EXPECT_EQ(
        Lines({"phone left: kinedgram (text app) listening on every address of this computer, UDP "
               "port 50000",
               "phone right: kinescope (binary app) listening on every address of this computer, "
               "UDP port 50003",
               "point each phone's app at its own port above and one of this computer's "
               "addresses: 192.168.1.20",
               "a port hears only the first phone that sends to it: two phones cannot share one",
               "publishing every reading to broker.lab:1883 as lab/walk/PHONE/MEASUREMENT, QoS 0; "
               "up to 500 readings wait while the broker is away"}),
        announcementLines(completed(settings), {"192.168.1.20"}, {50000, 50003}));
    EXPECT_EQ("sensorstream: 2 phones on 0.0.0.0   (Ctrl-C ends)",
              liveTitle(completed(settings), {50000, 50003}));
    EXPECT_EQ("right: kinescope (binary app) on UDP port 50003",
              liveSectionTitle(settings.phones[1], 50003));
}

} // namespace
