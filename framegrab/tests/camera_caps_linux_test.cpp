#include "camera_modes.h"
#include "framegrab/camera_caps_linux.h"

#include <gst/gst.h>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

// Modes from the caps a camera's source states, and the caps that ask for one.

namespace {

using framegrab::CameraMode;
using framegrab::capsForMode;
using framegrab::Encoding;
using framegrab::modesFromCaps;
using framegrab::testing::mjpeg;
using framegrab::testing::mode;
using framegrab::testing::raw;

struct CapsUnref {
    void operator()(GstCaps* caps) const { gst_caps_unref(caps); }
};
using CapsPtr = std::unique_ptr<GstCaps, CapsUnref>;

CapsPtr caps(const char* text) {
    CapsPtr parsed(gst_caps_from_string(text));
    EXPECT_NE(nullptr, parsed) << text;
    return parsed;
}

class CameraCaps : public testing::Test {
protected:
    static void SetUpTestSuite() { gst_init(nullptr, nullptr); }
};

std::string text(const GstCaps* shown) {
    gchar* raw = gst_caps_to_string(shown);
    std::string copy = raw;
    g_free(raw);
    return copy;
}

TEST_F(CameraCaps, AUsbCameraStatesEachFormatSizeAndRate) {
    EXPECT_EQ(framegrab::testing::usbCameraModes(),
              modesFromCaps(caps(framegrab::testing::USB_CAMERA_CAPS).get()));
}

TEST_F(CameraCaps, FormatListsRangesAndMissingRates) {
    const auto modes =
        modesFromCaps(caps("video/x-raw, format={ NV12, YUY2 }, width=320, height=240, "
                           "framerate=[ 5/1, 60/1 ]; "
                           "image/jpeg, width=640, height=480; "
                           "video/x-raw, format=GRAY8, width=[ 1, 100 ], height=50, "
                           "framerate=30/1; "
                           "video/x-raw, format=GRAY8, width=64, height=48, "
                           "framerate=[ 0/1, 2147483647/1 ]; "
                           "video/x-raw, format=NV12, width=320, height=240, "
                           "framerate=[ 5/1, 60/1 ]")
                          .get());
    const std::vector<CameraMode> expected = {
        mode(Encoding::Raw, "NV12", 320, 240, {5, 1}, {60, 1}),
        mode(Encoding::Raw, "YUY2", 320, 240, {5, 1}, {60, 1}),
        // No rate stated: 0/1, never chosen for speed.
        mjpeg(640, 480, {0, 1}),
        // A range of sizes is left out; "any rate" is no rate; the repeat once.
        raw(64, 48, {0, 1}, "GRAY8"),
    };
    EXPECT_EQ(expected, modes);
}

TEST_F(CameraCaps, NothingStatedIsNoMode) {
    EXPECT_TRUE(modesFromCaps(nullptr).empty());
    EXPECT_TRUE(modesFromCaps(caps("ANY").get()).empty());
    EXPECT_TRUE(modesFromCaps(caps("EMPTY").get()).empty());
    EXPECT_TRUE(modesFromCaps(caps("video/x-raw, format=YUY2").get()).empty());
}

TEST_F(CameraCaps, OtherEncodingsAreNamedButNotDecodable) {
    const auto modes =
        modesFromCaps(caps("video/x-h264, width=1920, height=1080, framerate=30/1; "
                           "video/x-bayer, format=rggb, width=640, height=480, framerate=15/1")
                          .get());
    ASSERT_EQ(2u, modes.size());
    EXPECT_EQ("H264", modes[0].format);
    EXPECT_EQ("BAYER", modes[1].format);
    EXPECT_FALSE(modes[0].decodable());
    EXPECT_FALSE(modes[1].decodable());
}

TEST_F(CameraCaps, ModeCapsAskForOneFormatSizeAndRate) {
    const CapsPtr rawCaps(capsForMode(raw(640, 480, {30000, 1001})));
    EXPECT_EQ("video/x-raw, format=(string)YUY2, width=(int)640, height=(int)480, "
              "framerate=(fraction)30000/1001",
              text(rawCaps.get()));
    const CapsPtr jpegCaps(capsForMode(mjpeg(1920, 1080, {15, 2})));
    EXPECT_EQ("image/jpeg, width=(int)1920, height=(int)1080, framerate=(fraction)15/2",
              text(jpegCaps.get()));
    // Without a stated rate the camera keeps its own.
    const CapsPtr anyRate(capsForMode(mjpeg(640, 480, {0, 1})));
    EXPECT_EQ("image/jpeg, width=(int)640, height=(int)480", text(anyRate.get()));

    // Each mode of the camera asks for something the camera offers, and only that.
    const CapsPtr offered = caps(framegrab::testing::USB_CAMERA_CAPS);
    for (const CameraMode& stated : modesFromCaps(offered.get())) {
        if (!stated.decodable())
            continue;
        const CapsPtr asked(capsForMode(stated));
        EXPECT_TRUE(gst_caps_can_intersect(asked.get(), offered.get())) << text(asked.get());
        EXPECT_EQ(std::vector<CameraMode>{stated}, modesFromCaps(asked.get()));
    }
}

} // namespace
