#include "framegrab/resolution_choice.h"

#include <gtest/gtest.h>
#include <limits>

namespace {

using framegrab::chooseResolution;
using framegrab::isKnownResolution;
using framegrab::Resolution;

constexpr double NAN_VALUE = std::numeric_limits<double>::quiet_NaN();
constexpr double INF = std::numeric_limits<double>::infinity();

TEST(ResolutionChoice, TheFirstFrameWinsThenThePortThenNothing) {
    struct Case {
        const char* what;
        Resolution port;
        Resolution frame;
        Resolution expected;
    };
    const Case cases[] = {
        {"port and frame agree", {640, 480}, {640, 480}, {640, 480}},
        // The frames are what the device copies: a port that tells another size
        // would make it drop every frame.
        {"frame differs from the port", {1920, 1080}, {1280, 720}, {1280, 720}},
        {"no frame yet", {1280, 720}, {0, 0}, {1280, 720}},
        {"port without a format description", {0, 0}, {640, 480}, {640, 480}},
        {"neither", {0, 0}, {0, 0}, {0, 0}},
        {"port of zero height", {640, 0}, {0, 0}, {0, 0}},
        {"port of negative size", {-640, -480}, {0, 0}, {0, 0}},
        {"frame of zero width falls back to the port", {800, 600}, {0, 600}, {800, 600}},
        {"NaN port", {NAN_VALUE, 480}, {0, 0}, {0, 0}},
        {"infinite frame falls back to the port", {800, 600}, {INF, 600}, {800, 600}},
        {"smallest real frame", {0, 0}, {1, 1}, {1, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Resolution chosen = chooseResolution(c.port, c.frame);
        EXPECT_EQ(c.expected.width, chosen.width);
        EXPECT_EQ(c.expected.height, chosen.height);
        // Whatever is not known is reported; whatever is chosen is known.
        EXPECT_EQ(c.expected.width != 0, isKnownResolution(chosen));
    }
}

TEST(ResolutionChoice, LessThanOnePixelIsNotASize) {
    EXPECT_FALSE(isKnownResolution({0.5, 480}));
    EXPECT_FALSE(isKnownResolution({640, 0.999}));
    EXPECT_TRUE(isKnownResolution({1, 1}));
}

} // namespace
