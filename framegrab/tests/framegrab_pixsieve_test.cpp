#include "host/channel.h"
#include "host/i18n/ustring_conversion.h"
#include "host/plugin_loader.h"
#include "host/property_list.h"
#include "webcam/frame_converter.h"
#include "webcam/video_data_buffer.h"

#include <chrono>
#include <cstdint>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

// End to end, as the host wires them: frames of the loaded capture device on the
// test camera pass through the loaded filter, configured with the frame types the
// device announced, and come out in the host's planar image layout.

namespace {

using namespace std::chrono_literals;
using korvex::host::Options;
using korvex::host::PropertyListOwner;
using korvex::host::scalarValue;

using FramePtr = std::unique_ptr<webcam::VideoDataBuffer, conduit::kit::Releaser>;

TEST(FramegrabThroughPixsieve, FramesComeOutPlanarAndEqualToTheReferenceConversion) {
    // The libraries outlive every object they made.
    korvex::host::PluginLibrary grabLibrary(korvex::host::pluginPath("framegrab"));
    korvex::host::PluginLibrary sieveLibrary(korvex::host::pluginPath("pixsieve"));
    korvex::host::Channel channel;
    PropertyListOwner published;
    auto device = grabLibrary.createDevice(channel);
    auto filter = sieveLibrary.createFilter(channel);

    Options deviceOptions;
    deviceOptions.set("WebcamID", korvex::i18n::widen("videotestsrc"));
    device->init(deviceOptions, published.list());

    // The filter gets the device's frame types, as the host's UTF-16 strings.
    Options filterOptions;
    for (const char* name : {"InputFrameType", "OutputFrameType"}) {
        const auto type = scalarValue<std::string>(published.find(name));
        ASSERT_TRUE(type.has_value()) << name;
        filterOptions.set(name, korvex::i18n::widen(*type));
    }
    filter->init(filterOptions);
    filter->open(Options());

    device->open(Options());
    ASSERT_TRUE(channel.waitForBuffers(3, 10s));
    device->close();

    const std::size_t height = 480;
    const std::size_t width = 640;
    const std::size_t pixels = height * width;
    for (auto& buffer : channel.takeAllBuffers()) {
        const auto* packed = dynamic_cast<const webcam::VideoDataBuffer*>(buffer.get());
        ASSERT_NE(nullptr, packed);
        ASSERT_EQ(pixels * 4, packed->size);
        const std::vector<std::uint8_t> input(packed->data, packed->data + packed->size);
        FramePtr reference(webcam::FrameConverter::packedBGRATopDownToPlanarRGBColumn(packed));
        ASSERT_NE(nullptr, reference);

        // The filter takes the frame over and hands back the converted one.
        FramePtr planar(dynamic_cast<webcam::VideoDataBuffer*>(filter->filter(buffer.release())));
        ASSERT_NE(nullptr, planar);
        EXPECT_EQ(pixels * 3, planar->size);
        EXPECT_EQ(height, planar->height);
        EXPECT_EQ(width, planar->width);
        EXPECT_EQ(3u, planar->bytesPerPixel);
        ASSERT_EQ(reference->size, planar->size);
        EXPECT_EQ(std::vector<std::uint8_t>(reference->data, reference->data + reference->size),
                  std::vector<std::uint8_t>(planar->data, planar->data + planar->size));

        // And the layout itself: plane p (R, G, B), column by column, from the
        // packed pixel's bytes B, G, R.
        for (std::size_t r = 0; r < height; r += 37)
            for (std::size_t c = 0; c < width; c += 53) {
                const std::size_t source = (r * width + c) * 4;
                const std::size_t at = c * height + r;
                ASSERT_EQ(input[source + 2], planar->data[at]) << r << ", " << c;
                ASSERT_EQ(input[source + 1], planar->data[pixels + at]) << r << ", " << c;
                ASSERT_EQ(input[source], planar->data[2 * pixels + at]) << r << ", " << c;
            }
    }
    filter->close();
}

} // namespace
