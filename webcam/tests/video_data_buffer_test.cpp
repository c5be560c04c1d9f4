#include "webcam/string_vector_property.h"
#include "webcam/video_data_buffer.h"

#include <gtest/gtest.h>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using webcam::StringVectorProperty;
using webcam::VideoDataBuffer;

TEST(VideoDataBuffer, HoldsOneFrameWhateverItsSize) {
    for (const std::size_t size : {std::size_t(0), std::size_t(12), std::size_t(1) << 20}) {
        auto* frame = new VideoDataBuffer(new std::uint8_t[size], size, 2, 2, 3);
        EXPECT_EQ(1u, frame->getCount());
        EXPECT_EQ(size, frame->size);
        frame->destroy();
    }
}

TEST(VideoDataBuffer, KeepsItsFieldsAndDestroysWithoutData) {
    auto* frame = new VideoDataBuffer(nullptr, 0, 480, 640, 4);
    EXPECT_EQ(nullptr, frame->data);
    EXPECT_EQ(480u, frame->height);
    EXPECT_EQ(640u, frame->width);
    EXPECT_EQ(4u, frame->bytesPerPixel);
    frame->destroy(); // frees nothing but the object (checked under AddressSanitizer)
}

TEST(StringVectorProperty, KeepsNameAndOrder) {
    const std::string values[] = {"640x480", "1280x720", "1920x1080"};
    auto* property = new StringVectorProperty("AvailableResolutions", values, 3);
    EXPECT_STREQ("AvailableResolutions", property->getName());
    EXPECT_EQ((std::vector<std::string>{"640x480", "1280x720", "1920x1080"}), property->getValue());
    property->destroy();
}

TEST(StringVectorProperty, EmptyListStillHasItsName) {
    auto* property = new StringVectorProperty("AvailableResolutions", nullptr, 0);
    EXPECT_STREQ("AvailableResolutions", property->getName());
    EXPECT_TRUE(property->getValue().empty());
    property->destroy();
}

TEST(StringVectorProperty, ImpossibleCountIsALengthError) {
    const std::string one = "x";
    try {
        new StringVectorProperty("AvailableResolutions", &one,
                                 std::numeric_limits<std::size_t>::max());
        FAIL() << "an impossible count was accepted";
    } catch (const std::length_error& error) {
        EXPECT_STREQ("vector::reserve", error.what());
    }
}

} // namespace
