#include "camera_modes.h"
#include "framegrab/mode_choice.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

// Which mode the device runs a camera in, and what it says when it cannot.

namespace {

using framegrab::CameraMode;
using framegrab::chooseMode;
using framegrab::Encoding;
using framegrab::FrameRate;
using framegrab::ModeChoice;
using framegrab::ModeRequest;
using framegrab::testing::eachRate;
using framegrab::testing::joined;
using framegrab::testing::mjpeg;
using framegrab::testing::mode;
using framegrab::testing::raw;
using framegrab::testing::usbCameraModes;

struct ChoiceCase {
    const char* what;
    std::vector<CameraMode> offered;
    ModeRequest request;
    CameraMode expected;
};

void PrintTo(const ChoiceCase& c, std::ostream* out) { *out << c.what; }

class ModeChoiceTest : public testing::TestWithParam<ChoiceCase> {};

TEST_P(ModeChoiceTest, ChoosesTheExpectedMode) {
    const ModeChoice choice = chooseMode(GetParam().offered, GetParam().request);
    ASSERT_TRUE(choice.chosen()) << choice.errorID << ": " << choice.errorText;
    EXPECT_EQ(GetParam().expected, choice.mode);
}

const std::vector<CameraMode> SLOW_RAW_CAMERA = joined({
    eachRate(raw(640, 480, {}), {{15, 1}, {10, 1}}),
    eachRate(raw(1920, 1080, {}), {{5, 1}}),
    eachRate(raw(1280, 720, {}), {{15, 2}}),
});

INSTANTIATE_TEST_SUITE_P(
    Cameras, ModeChoiceTest,
    testing::Values(
        // No options: the largest size delivered at 30, at its fastest rate; raw
        // is slow there, so MJPEG.
        ChoiceCase{"usb camera, no options", usbCameraModes(), {}, mjpeg(1920, 1080, {30, 1})},
        // A size alone: its fastest rate, raw where raw reaches it.
        ChoiceCase{"640x480", usbCameraModes(), {"640x480", ""}, raw(640, 480, {30, 1})},
        ChoiceCase{"1280x720", usbCameraModes(), {"1280x720", ""}, mjpeg(1280, 720, {30, 1})},
        // A size and a rate: raw when it reaches the rate.
        ChoiceCase{"1280x720 at 10", usbCameraModes(), {"1280x720", "10"}, raw(1280, 720, {10, 1})},
        ChoiceCase{
            "1280x720 at 20", usbCameraModes(), {"1280x720", "20"}, mjpeg(1280, 720, {20, 1})},
        // A rate alone: the largest size offered at it.
        ChoiceCase{"at 5", usbCameraModes(), {"", "5"}, raw(1920, 1080, {5, 1})},
        ChoiceCase{"at 24", usbCameraModes(), {"", "24"}, mjpeg(1920, 1080, {24, 1})},
        // Rates are matched as cameras round them, and run at the camera's fraction.
        ChoiceCase{"at 7.5", usbCameraModes(), {"1280x720", "7.5"}, raw(1280, 720, {15, 2})},
        ChoiceCase{
            "at 30000/1001", usbCameraModes(), {"640x480", "30000/1001"}, raw(640, 480, {30, 1})},
        ChoiceCase{"29.97 counts as 30",
                   {raw(640, 480, {30000, 1001}), mjpeg(1280, 720, {15, 1}),
                    mjpeg(800, 600, {30000, 1001})},
                   {},
                   mjpeg(800, 600, {30000, 1001})},
        ChoiceCase{"30 asked of a 29.97 camera",
                   {raw(640, 480, {30000, 1001})},
                   {"", "30"},
                   raw(640, 480, {30000, 1001})},
        // Nothing reaches 30: the fastest mode, the larger of two equally fast.
        ChoiceCase{"slow raw camera", SLOW_RAW_CAMERA, {}, raw(640, 480, {15, 1})},
        ChoiceCase{"equally fast",
                   {raw(320, 240, {15, 1}), raw(1280, 720, {15, 1}), raw(640, 480, {15, 1})},
                   {},
                   raw(1280, 720, {15, 1})},
        // A range of rates runs at the rate asked for, or at its fastest.
        ChoiceCase{"range asked 25",
                   {mode(Encoding::Raw, "NV12", 1280, 720, {5, 1}, {60, 1})},
                   {"", "25"},
                   raw(1280, 720, {25, 1}, "NV12")},
        ChoiceCase{"range, no options",
                   {mode(Encoding::Raw, "NV12", 1280, 720, {5, 1}, {60, 1})},
                   {},
                   raw(1280, 720, {60, 1}, "NV12")},
        // Of two raw formats that reach the rate, the one the camera states first.
        ChoiceCase{"two raw formats",
                   {raw(640, 480, {30, 1}, "NV12"), raw(640, 480, {30, 1}, "YUY2")},
                   {},
                   raw(640, 480, {30, 1}, "NV12")},
        // Encodings the device cannot decode are never chosen, however large.
        ChoiceCase{"h264 is not decoded",
                   {mode(Encoding::Other, "H264", 3840, 2160, {30, 1}, {30, 1}),
                    mjpeg(1280, 720, {30, 1})},
                   {},
                   mjpeg(1280, 720, {30, 1})}));

struct RefusalCase {
    const char* what;
    ModeRequest request;
    const char* identifier;
    std::string text;
};

void PrintTo(const RefusalCase& c, std::ostream* out) { *out << c.what; }

class ModeRefusalTest : public testing::TestWithParam<RefusalCase> {};

TEST_P(ModeRefusalTest, SaysWhatTheCameraOffers) {
    const ModeChoice choice = chooseMode(usbCameraModes(), GetParam().request);
    EXPECT_FALSE(choice.chosen());
    EXPECT_EQ(GetParam().identifier, choice.errorID);
    EXPECT_EQ(GetParam().text, choice.errorText);
}

constexpr const char* SIZE_ID = "KORVEX:webcam:unsupportedResolution";
constexpr const char* RATE_ID = "KORVEX:webcam:unsupportedFramerate";
const std::string SIZES = "1920x1080, 1280x720 and 640x480";
const std::string RATES = "30, 24, 20, 15, 10, 7.5 and 5";

INSTANTIATE_TEST_SUITE_P(
    UsbCamera, ModeRefusalTest,
    testing::Values(
        RefusalCase{"size not offered",
                    {"800x600", ""},
                    SIZE_ID,
                    "The webcam does not offer 800x600; it offers " + SIZES + "."},
        RefusalCase{"h264 size",
                    {"3840x2160", "30"},
                    SIZE_ID,
                    "The webcam does not offer 3840x2160; it offers " + SIZES + "."},
        RefusalCase{"not a size",
                    {"1280 x 720", ""},
                    SIZE_ID,
                    "'1280 x 720' is not a resolution of the form WxH (such as 1280x720); the "
                    "webcam offers " +
                        SIZES + "."},
        RefusalCase{"rate not offered at the size",
                    {"640x480", "24"},
                    RATE_ID,
                    "The webcam does not offer 24 frames a second at 640x480; it offers 30 and "
                    "15 there."},
        RefusalCase{"rate not offered at all",
                    {"", "60"},
                    RATE_ID,
                    "The webcam does not offer 60 frames a second; it offers " + RATES + "."},
        RefusalCase{"not a rate",
                    {"", "fast"},
                    RATE_ID,
                    "'fast' is not a frame rate in frames a second (such as 30); the webcam "
                    "offers " +
                        RATES + "."},
        RefusalCase{"no rate at all",
                    {"640x480", "0"},
                    RATE_ID,
                    "'0' is not a frame rate in frames a second (such as 30); the webcam offers " +
                        RATES + "."}));

TEST(ModeChoice, ACameraWithoutRawOrMjpegIsRefused) {
    const ModeChoice choice =
        chooseMode({mode(Encoding::Other, "H264", 1920, 1080, {30, 1}, {30, 1})}, {});
    EXPECT_FALSE(choice.chosen());
    EXPECT_EQ("KORVEX:webcam:unsupportedResolution", choice.errorID);
    EXPECT_EQ("The webcam offers no raw or MJPEG mode to capture from.", choice.errorText);
}

TEST(ModeChoice, RatesOfRangesAreListedAsRanges) {
    const std::vector<CameraMode> offered = {
        mode(Encoding::Raw, "NV12", 1280, 720, {5, 1}, {30, 1}), mjpeg(1280, 720, {60, 1})};
    const ModeChoice choice = chooseMode(offered, {"1280x720", "90"});
    EXPECT_EQ("The webcam does not offer 90 frames a second at 1280x720; it offers 60 and 5 to "
              "30 there.",
              choice.errorText);
}

TEST(ModeChoice, ResolutionTexts) {
    int width = 0;
    int height = 0;
    ASSERT_TRUE(framegrab::parseResolution("1280x720", width, height));
    EXPECT_EQ(1280, width);
    EXPECT_EQ(720, height);
    ASSERT_TRUE(framegrab::parseResolution("1x65535", width, height));
    EXPECT_EQ(65535, height);
    for (const char* wrong :
         {"", "x", "1280x", "x720", "1280X720", "1280x720 ", " 1280x720", "01280x720", "0x0",
          "-1x5", "65536x1", "1280x720x3", "1e3x720", "1280by720", "99999999999x1"}) {
        EXPECT_FALSE(framegrab::parseResolution(wrong, width, height)) << "'" << wrong << "'";
    }
}

TEST(ModeChoice, FramerateTexts) {
    struct Case {
        const char* text;
        double perSecond;
    };
    for (const Case& c :
         {Case{"30", 30}, Case{"29.97", 29.97}, Case{"30000/1001", 30000.0 / 1001},
          Case{"7.5", 7.5}, Case{"15/2", 7.5}, Case{"1000", 1000}, Case{"0.5", 0.5}}) {
        double perSecond = 0;
        ASSERT_TRUE(framegrab::parseFramerate(c.text, perSecond)) << c.text;
        EXPECT_DOUBLE_EQ(c.perSecond, perSecond) << c.text;
    }
    for (const char* wrong : {"", "0", "0/1", "30/0", "-30", "1001", ".5", "5.", "1.2.3", "30fps",
                              "30/", "/2", "3/4/5", "nan", "inf", " 30", "1e2"}) {
        double perSecond = 0;
        EXPECT_FALSE(framegrab::parseFramerate(wrong, perSecond)) << "'" << wrong << "'";
    }
}

} // namespace
