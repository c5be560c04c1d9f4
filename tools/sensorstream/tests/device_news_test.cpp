#include "tools/sensorstream/device_news.h"

#include <gtest/gtest.h>

namespace {

using namespace sensorstream;

TEST(DeviceNews, MessagesAreWarningsOrErrors) {
    EXPECT_EQ("warning from kinedgram: KORVEX:kinedgram:late: text",
              messageNews("kinedgram", {"warning", "KORVEX:kinedgram:late", "text"}));
    EXPECT_EQ("error from kinescope: KORVEX:kinescope:failed: text",
              messageNews("kinescope", {"error", "KORVEX:kinescope:failed", "text"}));
    EXPECT_EQ("error from kinescope: text", messageNews("kinescope", {"", "", "text"}))
        << "any type but a warning is an error";
}

TEST(DeviceNews, ThePhonesAddressIsTheFirstDatagram) {
    EXPECT_EQ("the phone reached this computer at 192.168.1.31 (IPAddress); from now on only "
              "that phone is heard",
              propertyNews("IPAddress", "192.168.1.31", std::nullopt, 50000));
}

// The port the announcement gave, or 0 (no port), is not news; another one is.
TEST(DeviceNews, OnlyANewPortIsNews) {
    EXPECT_FALSE(propertyNews("PortNumber", "50000", 50000.0, 50000));
    EXPECT_FALSE(propertyNews("PortNumber", "0", 0.0, 50000));
    EXPECT_FALSE(propertyNews("PortNumber", "?", std::nullopt, 50000));
    EXPECT_EQ("PortNumber is now 50002", propertyNews("PortNumber", "50002", 50002.0, 50000));
    EXPECT_EQ("AvailableInterfaces is now 10.0.0.5",
              propertyNews("AvailableInterfaces", "10.0.0.5", std::nullopt, 50000));
}

} // namespace
