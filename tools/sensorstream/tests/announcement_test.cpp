#include "tools/sensorstream/announcement.h"

#include <gtest/gtest.h>

namespace {

using namespace sensorstream;
using Lines = std::vector<std::string>;

TEST(Announcement, SaysWhereToPointThePhone) {
    Settings settings;
    settings.app = App::Binary;
    settings.bind = "";
    settings.count = 10;
    EXPECT_EQ(Lines({"kinescope (binary app) listening on every address of this computer, UDP "
                     "port 50000",
                     "point the phone app at port 50000 and one of this computer's addresses: "
                     "192.168.1.20, 10.0.0.5"}),
              announcementLines(settings, {"192.168.1.20", "10.0.0.5"}, 50000));
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
              announcementLines(settings, {}, 50001));

    settings.bind = "192.168.1.20";
    settings.duration = 5.0;
    EXPECT_EQ(Lines({"kinedgram (text app) listening on 192.168.1.20, UDP port 50001",
                     "point the phone app at port 50001 and one of this computer's addresses: "
                     "192.168.1.20"}),
              announcementLines(settings, {"192.168.1.20"}, 50001));
}

TEST(Announcement, LiveTitleNamesTheDeviceAndWhereItListens) {
    Settings settings;
    EXPECT_EQ("sensorstream: kinedgram (text app) on 127.0.0.1:50000   (Ctrl-C ends)",
              liveTitle(settings, 50000));
    settings.app = App::Binary;
    settings.bind = "";
    EXPECT_EQ("sensorstream: kinescope (binary app) on 0.0.0.0:49152   (Ctrl-C ends)",
              liveTitle(settings, 49152));
}

} // namespace
