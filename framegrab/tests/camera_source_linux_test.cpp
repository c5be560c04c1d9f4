#include "framegrab/camera_caps_linux.h"
#include "framegrab/camera_source_linux.h"
#include "udev_folder.h"

#include <gst/gst.h>
#include <gtest/gtest.h>
#include <string>

// The sources that stand for cameras: V4L2 devices named by their node or by the
// stable links udev makes, and the generated test camera.

namespace {

using framegrab::makeCameraSource;
using framegrab::resolveDevicePath;

using DeviceFolder = framegrab::testing::UdevFolder;

TEST_F(DeviceFolder, StableLinksLeadToTheirNode) {
    const std::string byId =
        link("by-id", "usb-Vendor_HD_Camera_0123-video-index0", "../../video2");
    const std::string byPath =
        link("by-path", "pci-0000:00:14.0-usb-0:1:1.0-video-index0", "../../video2");
    EXPECT_EQ(path("video2"), resolveDevicePath(byId));
    EXPECT_EQ(path("video2"), resolveDevicePath(byPath));
    // A link to a link is followed to the end.
    const std::string chained = link("by-id", "chained", "usb-Vendor_HD_Camera_0123-video-index0");
    EXPECT_EQ(path("video2"), resolveDevicePath(chained));
    // A node stays as it is.
    EXPECT_EQ(path("video0"), resolveDevicePath(path("video0")));
}

TEST_F(DeviceFolder, ALinkToAnUnpluggedCameraStaysAsItIs) {
    // udev removes the links with the camera; one left behind leads nowhere.
    const std::string dangling = link("by-id", "usb-Gone-video-index0", "../../video9");
    EXPECT_EQ(dangling, resolveDevicePath(dangling));
    EXPECT_EQ("/dev/framegrab-none", resolveDevicePath("/dev/framegrab-none"));
}

TEST(CameraSource, IdentifiersThatAreNoPathNameNoCamera) {
    gst_init(nullptr, nullptr);
    for (const char* identifier : {"", "video0", "no-such-camera", "videotestsrc ! fakesink",
                                   "v4l2src device=/dev/video0"}) {
        EXPECT_EQ(nullptr, makeCameraSource(identifier)) << identifier;
    }
}

TEST(CameraSource, ADevicePathIsReadByV4l2src) {
    gst_init(nullptr, nullptr);
    GstElement* source = makeCameraSource("/dev/video0");
    ASSERT_NE(nullptr, source);
    gst_object_ref_sink(source);
    GstElementFactory* factory = gst_element_get_factory(source);
    EXPECT_STREQ("v4l2src", gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory)));
    gchar* device = nullptr;
    g_object_get(source, "device", &device, nullptr);
    EXPECT_STREQ("/dev/video0", device);
    g_free(device);
    gst_object_unref(source);
}

TEST(CameraSource, TheTestCameraOffersOneRawModeOf640x480At30) {
    gst_init(nullptr, nullptr);
    const auto modes = framegrab::readSourceModes(makeCameraSource("videotestsrc"));
    ASSERT_EQ(1u, modes.size());
    EXPECT_EQ(framegrab::Encoding::Raw, modes[0].encoding);
    EXPECT_EQ("YUY2", modes[0].format);
    EXPECT_EQ(640, modes[0].width);
    EXPECT_EQ(480, modes[0].height);
    EXPECT_EQ(30.0, modes[0].fastest.perSecond());
    EXPECT_EQ(30.0, modes[0].slowest.perSecond());
}

TEST(CameraSource, ASourceThatCannotOpenStatesNoModes) {
    gst_init(nullptr, nullptr);
    EXPECT_TRUE(framegrab::readSourceModes(makeCameraSource("/dev/framegrab-none")).empty());
    EXPECT_TRUE(framegrab::readSourceModes(makeCameraSource("/dev/null")).empty());
    EXPECT_TRUE(framegrab::readSourceModes(nullptr).empty());
}

} // namespace
