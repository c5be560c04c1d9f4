// The camgrab program run as a child process on framegrab's test camera: the PNG
// files it writes must decode to the camera's pictures, pixel for pixel.

#include "host/channel.h"
#include "host/i18n/ustring_conversion.h"
#include "host/plugin_loader.h"
#include "host/property_list.h"
#include "png_reader.h"
#include "tools/arrivals/monotonic_clock.h"
#include "tools/common/child_process.h"
#include "webcam/video_data_buffer.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <regex>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;
using camgrab::testing::readPng;
using camgrab::testing::readPngTexts;
using kxtools::ChildResult;

ChildResult camgrab(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), CAMGRAB_PATH);
    return kxtools::runChild(arguments, 60s);
}

// A folder of the test's own, removed with everything in it when the test ends.
struct TemporaryFolder {
    std::string path;
    explicit TemporaryFolder(const std::string& name)
        : path(::testing::TempDir() + "camgrab_" + std::to_string(::getpid()) + "_" + name) {}
    ~TemporaryFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

// Packed BGRA frames of the test camera, taken through the loaded capture device
// as the host takes them.
std::vector<std::vector<std::uint8_t>> testCameraFrames(std::size_t count) {
    korvex::host::PluginLibrary library(korvex::host::pluginPath("framegrab"));
    korvex::host::Channel channel;
    korvex::host::PropertyListOwner published;
    auto device = library.createDevice(channel);
    korvex::host::Options options;
    options.set("WebcamID", korvex::i18n::widen("videotestsrc"));
    device->init(options, published.list());
    channel.takeAllBuffers();
    device->open(korvex::host::Options());
    const bool arrived = channel.waitForBuffers(count, 10s);
    device->close();
    EXPECT_TRUE(arrived);
    std::vector<std::vector<std::uint8_t>> frames;
    for (auto& buffer : channel.takeAllBuffers()) {
        const auto* frame = dynamic_cast<const webcam::VideoDataBuffer*>(buffer.get());
        if (frame != nullptr && frames.size() < count)
            frames.emplace_back(frame->data, frame->data + frame->size);
    }
    return frames;
}

TEST(CamgrabProgram, HelpAndVersion) {
    const auto help = camgrab({"--help"});
    EXPECT_EQ(0, help.exitCode);
    for (const char* option : {"--webcam", "--resolution", "--rate", "--frames", "--output-dir",
                               "--prefix", "--timeout", "--help", "--version"})
        EXPECT_NE(std::string::npos, help.out.find(option)) << option;
    const auto version = camgrab({"--version"});
    EXPECT_EQ(0, version.exitCode);
    EXPECT_TRUE(std::regex_search(
        version.out, std::regex(R"(^camgrab \S+\n  framegrab \S+ \(built .*\)\n  pixsieve \S+ )")))
        << version.out;
}

TEST(CamgrabProgram, BadArgumentsFailWithAClearMessage) {
    TemporaryFolder folder("bad");
    std::filesystem::create_directories(folder.path);
    const std::string file = folder.path + "/plain-file";
    std::ofstream(file) << "not a folder";
    const struct {
        std::vector<std::string> arguments;
        int exitCode;
        std::string message;
    } cases[] = {
        {{"--frobnicate"}, 2, "camgrab: unknown option '--frobnicate' (see camgrab --help)\n"},
        {{"--frames", "0"}, 2, "camgrab: --frames: '0' is out of range (1 to 100000)"},
        {{"--frames", "many"}, 2, "camgrab: --frames: 'many' is not a whole number"},
        {{"--timeout", "0"}, 2, "camgrab: --timeout: '0' is out of range"},
        {{"--prefix", "a/b"}, 2, "camgrab: --prefix: 'a/b' is not a file name"},
        {{"--webcam", ""}, 2, "camgrab: --webcam: the camera is empty"},
        {{"--resolution", "1280by720"},
         2,
         "camgrab: --resolution: '1280by720' is not of the form WxH, such as 1280x720"},
        {{"--resolution", "0x0"}, 2, "camgrab: --resolution: '0x0' is not of the form WxH"},
        {{"--rate", "fast"}, 2, "camgrab: --rate: 'fast' is not a number"},
        {{"--rate", "0"}, 2, "camgrab: --rate: '0' is out of range"},
        // The test camera offers 640x480 at 30 only; framegrab says so.
        {{"--resolution", "1280x720", "--output-dir", folder.path},
         1,
         "camgrab: error from framegrab: KORVEX:webcam:unsupportedResolution: The webcam does "
         "not offer 1280x720; it offers 640x480.\ncamgrab: camera 'videotestsrc' does not offer "
         "the mode asked for\n"},
        {{"--rate", "15", "--output-dir", folder.path},
         1,
         "camgrab: error from framegrab: KORVEX:webcam:unsupportedFramerate: The webcam does "
         "not offer 15 frames a second; it offers 30.\n"},
        {{"picture.png"}, 2, "camgrab: "},
        {{"--output-dir", file + "/sub"},
         1,
         "camgrab: cannot make the folder '" + file + "/sub': "},
        {{"--webcam", "/nonexistent/video0", "--output-dir", folder.path},
         1,
         "camgrab: error from framegrab: KORVEX:webcam:"},
    };
    for (const auto& c : cases) {
        std::string command;
        for (const auto& argument : c.arguments)
            command += " " + argument;
        SCOPED_TRACE(command);
        const auto result = camgrab(c.arguments);
        EXPECT_TRUE(result.exited);
        EXPECT_EQ(c.exitCode, result.exitCode);
        EXPECT_EQ(0u, result.err.find(c.message)) << result.err;
    }
    const auto missing = camgrab({"--webcam", "/nonexistent/video0", "--output-dir", folder.path});
    EXPECT_NE(std::string::npos,
              missing.err.find("camgrab: camera '/nonexistent/video0' is not available\n"))
        << missing.err;
    EXPECT_EQ(std::string::npos, missing.out.find("wrote")) << missing.out;
}

TEST(CamgrabProgram, WritesFramesThatDecodeToTheTestCamerasPictures) {
    TemporaryFolder folder("frames");
    const double started = arrivals::monotonicNow();
    const auto result = camgrab({"--frames", "3", "--output-dir", folder.path + "/new/sub",
                                 "--prefix", "test", "--resolution", "640x480", "--rate", "30"});
    ASSERT_EQ(0, result.exitCode) << result.err;
    EXPECT_EQ("", result.err);
    std::smatch rate;
    ASSERT_TRUE(std::regex_search(
        result.out, rate, std::regex(R"(camgrab: 640x480, ([0-9.]+) frames a second \(measured)")))
        << result.out;
    EXPECT_GT(std::stod(rate[1]), 1.0);
    EXPECT_LT(std::stod(rate[1]), 1000.0);

    // The test camera's picture is still but for a patch of noise: the pixels equal
    // in four frames of its own are the ones every frame must show (a noise pixel
    // stays the same by chance in one frame of 256, in four almost never).
    const auto frames = testCameraFrames(4);
    ASSERT_EQ(4u, frames.size());
    const std::size_t width = 640;
    const std::size_t height = 480;
    ASSERT_EQ(width * height * 4, frames[0].size());
    std::vector<bool> still(width * height);
    std::size_t stillCount = 0;
    for (std::size_t i = 0; i < width * height; ++i) {
        still[i] = true;
        for (std::size_t f = 1; f < frames.size(); ++f)
            still[i] =
                still[i] && std::equal(&frames[0][i * 4], &frames[0][i * 4 + 3], &frames[f][i * 4]);
        stillCount += still[i] ? 1 : 0;
    }
    ASSERT_GT(stillCount, width * height * 8 / 10) << "a mostly still picture";

    const double ended = arrivals::monotonicNow();
    double previousArrival = started;
    for (int n = 1; n <= 3; ++n) {
        const std::string path = folder.path + "/new/sub/test-000" + std::to_string(n) + ".png";
        SCOPED_TRACE(path);
        // Each frame's arrival on this computer's monotonic clock: within the run, in
        // the order of the frames, on its line and in its file alike.
        std::smatch arrival;
        ASSERT_TRUE(std::regex_search(
            result.out, arrival,
            std::regex("camgrab: wrote " + path + R"( \(arrived at monotonic ([0-9.]+) s\)\n)")))
            << result.out;
        const double arrived = std::stod(arrival[1]);
        // The file carries the same arrival, for whoever reads it later.
        const auto texts = readPngTexts(path);
        ASSERT_EQ(1u, texts.count("Monotonic"));
        EXPECT_EQ(arrival[1].str(), texts.at("Monotonic"));
        EXPECT_LE(previousArrival, arrived + 1e-6);
        EXPECT_GE(ended, arrived);
        previousArrival = arrived;
        const auto png = readPng(path);
        ASSERT_EQ(width, png.width);
        ASSERT_EQ(height, png.height);
        ASSERT_EQ(3u, png.channels);
        // The first pixel: the packed B, G, R bytes come out as R, G, B.
        EXPECT_EQ(frames[0][2], png.rgb[0]);
        EXPECT_EQ(frames[0][1], png.rgb[1]);
        EXPECT_EQ(frames[0][0], png.rgb[2]);
        std::size_t differing = 0;
        for (std::size_t i = 0; i < width * height; ++i) {
            if (!still[i])
                continue;
            const std::uint8_t* packed = &frames[0][i * 4];
            const std::uint8_t* rgb = &png.rgb[i * 3];
            differing += rgb[0] != packed[2] || rgb[1] != packed[1] || rgb[2] != packed[0];
        }
        EXPECT_EQ(0u, differing) << "of " << stillCount << " still pixels";
    }
}

} // namespace
