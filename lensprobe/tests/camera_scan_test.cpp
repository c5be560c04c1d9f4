// The scan's rules with a scripted platform: which entries are candidates, in
// which order they come out, which are left out, and the result slots they give.

#include "lensprobe/camera_results.h"
#include "lensprobe/camera_scan.h"
#include "result_slots.h"

#include <gtest/gtest.h>
#include <linux/videodev2.h>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

using lensprobe::CaptureSupport;
using lensprobe::testing::cellTexts;
using lensprobe::testing::logicalScalar;
using lensprobe::testing::ResultSlots;

// Entries, capability answers and names as a script; records what was asked.
class ScriptedProbe final : public lensprobe::DeviceProbe {
public:
    std::vector<std::string> entries;
    std::map<std::string, std::string> names;         // path -> name; absent: none
    std::map<std::string, CaptureSupport> capability; // absent: Unknown
    std::vector<std::string> directoriesRead;
    std::vector<std::string> namesAskedFor;

    std::vector<std::string> entryNames(const std::string& directory) override {
        directoriesRead.push_back(directory);
        return entries;
    }
    CaptureSupport captureSupport(const std::string& path) override {
        const auto found = capability.find(path);
        return found == capability.end() ? CaptureSupport::Unknown : found->second;
    }
    std::optional<std::string> deviceName(const std::string& path) override {
        namesAskedFor.push_back(path);
        const auto found = names.find(path);
        if (found == names.end())
            return std::nullopt;
        return found->second;
    }
};

TEST(CameraScan, NoVideoEntriesGiveTrueAndTwoEmptyCellArrays) {
    ScriptedProbe probe;
    // The substring test is case-sensitive, and "vide0" is no match.
    probe.entries = {".", "..", "null", "tty0", "Video0", "VIDEO1", "vide0", "v4l"};
    for (const std::string& entry : probe.entries)
        probe.names["/dev/" + entry] = "would be listed if probed";

    const lensprobe::CameraList cameras = lensprobe::scanCameras("/dev/", probe);

    EXPECT_EQ(std::vector<std::string>{"/dev/"}, probe.directoriesRead);
    EXPECT_TRUE(probe.namesAskedFor.empty());
    EXPECT_TRUE(cameras.names.empty());
    EXPECT_TRUE(cameras.paths.empty());

    ResultSlots results;
    lensprobe::storeCameraList(results.slots, cameras);
    EXPECT_TRUE(logicalScalar(results.slots[0]));
    EXPECT_TRUE(cellTexts(results.slots[1]).empty());
    EXPECT_TRUE(cellTexts(results.slots[2]).empty());
}

TEST(CameraScan, ListsNamesAndPathsInTheOrderOfTheDirectoryNotSorted) {
    ScriptedProbe probe;
    probe.entries = {"video1", "null", "video0", "video10", "video2"};
    probe.names = {{"/dev/video0", "Cam Zero"},
                   {"/dev/video1", "Cam One"},
                   {"/dev/video2", "Cam Two"},
                   {"/dev/video10", "Cam Ten"}};

    const lensprobe::CameraList cameras = lensprobe::scanCameras("/dev/", probe);

    EXPECT_EQ((std::vector<std::string>{"Cam One", "Cam Zero", "Cam Ten", "Cam Two"}),
              cameras.names);
    EXPECT_EQ(
        (std::vector<std::string>{"/dev/video1", "/dev/video0", "/dev/video10", "/dev/video2"}),
        cameras.paths);
}

TEST(CameraScan, EntryWithoutNameIsSkippedAndTheOthersMoveUp) {
    struct Case {
        const char* label;
        std::vector<std::string> nameless;
        std::vector<std::string> names;
        std::vector<std::string> paths;
    };
    const Case cases[] = {
        {"first nameless", {"/dev/video0"}, {"B", "C"}, {"/dev/video1", "/dev/video2"}},
        {"middle nameless", {"/dev/video1"}, {"A", "C"}, {"/dev/video0", "/dev/video2"}},
        {"last nameless", {"/dev/video2"}, {"A", "B"}, {"/dev/video0", "/dev/video1"}},
        {"all nameless", {"/dev/video0", "/dev/video1", "/dev/video2"}, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        ScriptedProbe probe;
        probe.entries = {"video0", "video1", "video2"};
        probe.names = {{"/dev/video0", "A"}, {"/dev/video1", "B"}, {"/dev/video2", "C"}};
        for (const std::string& path : c.nameless)
            probe.names.erase(path);

        const lensprobe::CameraList cameras = lensprobe::scanCameras("/dev/", probe);
        EXPECT_EQ(c.names, cameras.names);
        EXPECT_EQ(c.paths, cameras.paths);

        // Cell i of the names and cell i of the paths describe the same device.
        ResultSlots results;
        lensprobe::storeCameraList(results.slots, cameras);
        EXPECT_TRUE(logicalScalar(results.slots[0]));
        EXPECT_EQ(c.names, cellTexts(results.slots[1]));
        EXPECT_EQ(c.paths, cellTexts(results.slots[2]));
    }
}

TEST(CameraScan, EveryEntryContainingVideoAnywhereIsProbed) {
    ScriptedProbe probe;
    probe.entries = {"myvideo", "video", "videoX", "a-video-b", "Video", "vid", "dvb0"};

    lensprobe::scanCameras("/dev/", probe);

    EXPECT_EQ(
        (std::vector<std::string>{"/dev/myvideo", "/dev/video", "/dev/videoX", "/dev/a-video-b"}),
        probe.namesAskedFor);
}

TEST(CameraScan, NodeThatCannotCaptureIsLeftOutAndUnqueriedNodeKeepsItsName) {
    ScriptedProbe probe;
    // A USB camera's capture node and its metadata node, a node that cannot be
    // queried, and a capture node without a name.
    probe.entries = {"video0", "video1", "video2", "video3"};
    probe.names = {
        {"/dev/video0", "USB Cam"}, {"/dev/video1", "USB Cam"}, {"/dev/video2", "Loopback"}};
    probe.capability = {{"/dev/video0", CaptureSupport::Capture},
                        {"/dev/video1", CaptureSupport::NoCapture},
                        {"/dev/video3", CaptureSupport::Capture}};

    const lensprobe::CameraList cameras = lensprobe::scanCameras("/dev/", probe);

    EXPECT_EQ((std::vector<std::string>{"USB Cam", "Loopback"}), cameras.names);
    EXPECT_EQ((std::vector<std::string>{"/dev/video0", "/dev/video2"}), cameras.paths);
}

TEST(CameraScan, ScansTheGivenDirectory) {
    ScriptedProbe probe;
    probe.entries = {"video7"};
    probe.names = {{"/tmp/devices/video7", "Seven"}};

    const lensprobe::CameraList cameras = lensprobe::scanCameras("/tmp/devices/", probe);

    EXPECT_EQ(std::vector<std::string>{"/tmp/devices/"}, probe.directoriesRead);
    EXPECT_EQ(std::vector<std::string>{"/tmp/devices/video7"}, cameras.paths);
}

TEST(CaptureSupportFromCapabilities, UsesTheNodeCapabilitiesWhenTheDriverReportsThem) {
    struct Case {
        const char* label;
        std::uint32_t capabilities;
        std::uint32_t deviceCapabilities;
        CaptureSupport expected;
    };
    constexpr std::uint32_t STREAMING = V4L2_CAP_STREAMING;
    const Case cases[] = {
        {"capture, no node caps", V4L2_CAP_VIDEO_CAPTURE | STREAMING, 0, CaptureSupport::Capture},
        {"multi-planar, no node caps", V4L2_CAP_VIDEO_CAPTURE_MPLANE, 0, CaptureSupport::Capture},
        {"metadata only, no node caps", V4L2_CAP_META_CAPTURE | STREAMING, 0,
         CaptureSupport::NoCapture},
        {"output only, no node caps", V4L2_CAP_VIDEO_OUTPUT, 0, CaptureSupport::NoCapture},
        // node caps in the answer but not announced: the device's capabilities count
        {"unannounced node caps ignored", V4L2_CAP_META_CAPTURE, V4L2_CAP_VIDEO_CAPTURE,
         CaptureSupport::NoCapture},
        // the metadata node of a USB camera: the device captures, the node does not
        {"metadata node of a camera",
         V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_META_CAPTURE | STREAMING | V4L2_CAP_DEVICE_CAPS,
         V4L2_CAP_META_CAPTURE | STREAMING, CaptureSupport::NoCapture},
        {"capture node of a camera",
         V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_META_CAPTURE | STREAMING | V4L2_CAP_DEVICE_CAPS,
         V4L2_CAP_VIDEO_CAPTURE | STREAMING, CaptureSupport::Capture},
        {"multi-planar capture node", V4L2_CAP_VIDEO_CAPTURE_MPLANE | V4L2_CAP_DEVICE_CAPS,
         V4L2_CAP_VIDEO_CAPTURE_MPLANE, CaptureSupport::Capture},
        {"node with no capabilities", V4L2_CAP_DEVICE_CAPS, 0, CaptureSupport::NoCapture},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected,
                  lensprobe::captureSupportFromCapabilities(c.capabilities, c.deviceCapabilities))
            << c.label;
    }
}

TEST(CameraResults, NamesBeyondAsciiComeOutUnchanged) {
    lensprobe::CameraList cameras;
    cameras.names = {"Cam\xC3\xA9ra \xE2\x82\xAC \xF0\x9F\x93\xB7", "plain"};
    cameras.paths = {"/dev/video0", "/dev/video1"};

    ResultSlots results;
    lensprobe::storeCameraList(results.slots, cameras);

    EXPECT_TRUE(logicalScalar(results.slots[0]));
    EXPECT_EQ(cameras.names, cellTexts(results.slots[1]));
    EXPECT_EQ(cameras.paths, cellTexts(results.slots[2]));
}

} // namespace
