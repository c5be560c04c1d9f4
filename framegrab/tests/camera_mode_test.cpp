#include "camera_modes.h"
#include "framegrab/camera_mode.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

// The text forms of modes and which rates a mode delivers.

namespace {

using framegrab::CameraMode;
using framegrab::Encoding;
using framegrab::rateText;
using framegrab::resolutionList;
using framegrab::testing::mjpeg;
using framegrab::testing::mode;
using framegrab::testing::raw;
using framegrab::testing::usbCameraModes;

TEST(CameraMode, RatesAreShownWithAtMostTwoDecimals) {
    EXPECT_EQ("30", rateText(30.0));
    EXPECT_EQ("29.97", rateText(30000.0 / 1001));
    EXPECT_EQ("7.5", rateText(7.5));
    EXPECT_EQ("30", rateText(10000000.0 / 333333));
    EXPECT_EQ("0", rateText(0.0));
    EXPECT_EQ("120", rateText(120.0));
    EXPECT_EQ("30", rateText(raw(640, 480, {30, 1})));
    EXPECT_EQ("5 to 30", rateText(mode(Encoding::Raw, "NV12", 640, 480, {5, 1}, {30, 1})));
}

TEST(CameraMode, ListsAreJoinedWithAnd) {
    EXPECT_EQ("", framegrab::joinedList({}));
    EXPECT_EQ("a", framegrab::joinedList({"a"}));
    EXPECT_EQ("a and b", framegrab::joinedList({"a", "b"}));
    EXPECT_EQ("a, b and c", framegrab::joinedList({"a", "b", "c"}));
}

TEST(CameraMode, RatesMatchAsCamerasRoundThem) {
    const CameraMode ntsc = raw(640, 480, {30000, 1001});
    EXPECT_TRUE(ntsc.offers(30));
    EXPECT_TRUE(ntsc.offers(29.97));
    EXPECT_FALSE(ntsc.offers(29));
    EXPECT_FALSE(ntsc.offers(25));
    const CameraMode range = mode(Encoding::Raw, "NV12", 640, 480, {5, 1}, {30, 1});
    EXPECT_TRUE(range.offers(5));
    EXPECT_TRUE(range.offers(17.5));
    EXPECT_TRUE(range.offers(30));
    EXPECT_FALSE(range.offers(4));
    EXPECT_FALSE(range.offers(31));
    EXPECT_TRUE(framegrab::FrameRate({30, 1}) == framegrab::FrameRate({60, 2}));
    EXPECT_FALSE(framegrab::FrameRate({30, 1}) == framegrab::FrameRate({30000, 1001}));
}

TEST(CameraMode, ResolutionsAreDistinctLargestFirstAndTheUsedOneLeads) {
    // H.264's 3840x2160 is not decoded, so not offered.
    EXPECT_EQ((std::vector<std::string>{"1920x1080", "1280x720", "640x480"}),
              resolutionList(usbCameraModes()));
    EXPECT_EQ((std::vector<std::string>{"1280x720", "1920x1080", "640x480"}),
              resolutionList(usbCameraModes(), mjpeg(1280, 720, {30, 1})));
    EXPECT_EQ((std::vector<std::string>{"640x480", "1920x1080", "1280x720"}),
              resolutionList(usbCameraModes(), raw(640, 480, {30, 1})));
    // Equal pixel counts: the wider first.
    EXPECT_EQ((std::vector<std::string>{"1280x720", "960x960", "320x240"}),
              resolutionList(
                  {raw(320, 240, {30, 1}), raw(960, 960, {30, 1}), mjpeg(1280, 720, {30, 1})}));
    // A size that is not offered changes nothing.
    EXPECT_EQ((std::vector<std::string>{"640x480"}),
              resolutionList({raw(640, 480, {30, 1})}, raw(800, 600, {30, 1})));
}

} // namespace
