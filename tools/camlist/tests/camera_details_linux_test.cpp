#include "framegrab/tests/camera_modes.h"
#include "framegrab/tests/udev_folder.h"
#include "tools/camlist/camera_details_linux.h"
#include "tools/camlist/listing_text.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

// The details camlist shows on Linux: udev's stable links to a camera's node and
// the camera's modes as readable lines.

namespace camlist {

bool operator==(const ModeLine& a, const ModeLine& b) {
    return a.format == b.format && a.size == b.size && a.rates == b.rates;
}

void PrintTo(const ModeLine& line, std::ostream* out) {
    *out << line.format << " " << line.size << " " << line.rates;
}

} // namespace camlist

namespace {

using camlist::ModeLine;
using framegrab::testing::mjpeg;
using framegrab::testing::mode;
using framegrab::testing::raw;

using DevFolder = framegrab::testing::UdevFolder;

TEST_F(DevFolder, LinksByIdThenByPathLeadToTheCamerasNode) {
    link("by-id", "usb-Maker_Cam_B-video-index0", "../../video2");
    link("by-id", "usb-Maker_Cam_A-video-index0", "../../video0");
    link("by-id", "usb-Maker_Cam_A-video-index1", "../../video1");
    link("by-path", "pci-0000:00:14.0-usb-0:1:1.0-video-index0", "../../video0");
    link("by-path", "pci-0000:00:14.0-usb-0:2:1.0-video-index0", "../../video2");
    const std::string v4l = path("v4l/");
    EXPECT_EQ((std::vector<std::string>{path("v4l/by-id/usb-Maker_Cam_A-video-index0"),
                                        path("v4l/by-path/pci-0000:00:14.0-usb-0:1:1.0-video-"
                                             "index0")}),
              camlist::stableLinks(path("video0"), v4l));
    EXPECT_EQ((std::vector<std::string>{path("v4l/by-id/usb-Maker_Cam_B-video-index0"),
                                        path("v4l/by-path/pci-0000:00:14.0-usb-0:2:1.0-video-"
                                             "index0")}),
              camlist::stableLinks(path("video2"), v4l));
    // A node without links, a node that does not exist, a folder without links.
    EXPECT_TRUE(camlist::stableLinks(path("video3"), v4l).empty());
    EXPECT_TRUE(camlist::stableLinks(path("video9"), v4l).empty());
    EXPECT_TRUE(camlist::stableLinks(path("video0"), path("nothing/")).empty());
}

TEST(ModeLines, GroupedByFormatLargestFirstRatesFastestFirst) {
    const std::vector<ModeLine> expected = {
        {"MJPEG", "1920x1080", "30, 24, 20, 15, 10, 7.5, 5"},
        {"MJPEG", "1280x720", "30, 24, 20, 15, 10, 7.5, 5"},
        {"MJPEG", "640x480", "30, 15"},
        {"YUY2", "1920x1080", "5"},
        {"YUY2", "1280x720", "10, 7.5, 5"},
        {"YUY2", "640x480", "30, 15"},
        {"H264", "3840x2160", "30"},
    };
    EXPECT_EQ(expected, camlist::modeLines(framegrab::testing::usbCameraModes()));
    // Stated in another order, ranges, and no rate at all.
    const std::vector<ModeLine> mixed = {
        {"NV12", "1280x720", "5 to 60"},
        {"NV12", "320x240", "30, 15"},
        {"MJPEG", "640x480", "?"},
    };
    EXPECT_EQ(mixed, camlist::modeLines(
                         {raw(320, 240, {15, 1}, "NV12"),
                          mode(framegrab::Encoding::Raw, "NV12", 1280, 720, {5, 1}, {60, 1}),
                          mjpeg(640, 480, {0, 1}), raw(320, 240, {30, 1}, "NV12")}));
}

TEST(CameraDetails, ADeviceThatCannotBeOpenedHasNoLinksOrModes) {
    const auto details = camlist::describeCameras({"/dev/camlist-none", "/dev/null"});
    ASSERT_EQ(2u, details.size());
    for (const auto& camera : details) {
        EXPECT_TRUE(camera.links.empty());
        EXPECT_TRUE(camera.modes.empty());
    }
    EXPECT_TRUE(camlist::describeCameras({}).empty());
}

} // namespace
