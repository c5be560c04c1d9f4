#include "framegrab/frame_copy.h"
#include "framegrab/sample_frame_linux.h"

#include <cstdint>
#include <gst/video/video.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>

// Samples of the application sink, built by hand, on their way to the device.

namespace {

using framegrab::captureTime;
using framegrab::handOverSample;
using framegrab::PixelBuffer;

constexpr int WIDTH = 5;
constexpr int HEIGHT = 3;

// Records the one frame or error it gets; the readable bytes are copied.
struct Recorder final : framegrab::ControllerClient {
    void processFrame(const PixelBuffer& pixels, double timestamp) override {
        ++frames;
        view = pixels;
        time = timestamp;
        bytes.assign(pixels.baseAddress, pixels.baseAddress + pixels.dataSize);
    }
    void errorFcn(const std::string& identifier, const std::string& text) override {
        errors.push_back(identifier + " / " + text);
    }
    int frames = 0;
    PixelBuffer view;
    double time = 0;
    std::vector<std::uint8_t> bytes;
    std::vector<std::string> errors;
};

std::uint8_t pattern(std::size_t i) { return static_cast<std::uint8_t>(i * 13 + 1); }

GstCaps* videoCaps(const char* format) {
    return gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, format, "width", G_TYPE_INT,
                               WIDTH, "height", G_TYPE_INT, HEIGHT, "framerate", GST_TYPE_FRACTION,
                               30, 1, nullptr);
}

// A buffer of size bytes holding pattern(i) at byte i.
GstBuffer* patternBuffer(gsize size) {
    GstBuffer* buffer = gst_buffer_new_allocate(nullptr, size, nullptr);
    GstMapInfo map;
    gst_buffer_map(buffer, &map, GST_MAP_WRITE);
    for (gsize i = 0; i < size; ++i)
        map.data[i] = pattern(i);
    gst_buffer_unmap(buffer, &map);
    return buffer;
}

// Rows of stride bytes starting at offset, described by a video meta.
void addLayout(GstBuffer* buffer, gsize offset, gint stride) {
    gsize offsets[GST_VIDEO_MAX_PLANES] = {offset};
    gint strides[GST_VIDEO_MAX_PLANES] = {stride};
    gst_buffer_add_video_meta_full(buffer, GST_VIDEO_FRAME_FLAG_NONE, GST_VIDEO_FORMAT_BGRA, WIDTH,
                                   HEIGHT, 1, offsets, strides);
}

// Hands over a sample made of buffer (may be null) and caps (may be null).
Recorder handOver(GstBuffer* buffer, GstCaps* caps) {
    GstSample* sample = gst_sample_new(buffer, caps, nullptr, nullptr);
    if (buffer != nullptr)
        gst_buffer_unref(buffer);
    if (caps != nullptr)
        gst_caps_unref(caps);
    Recorder recorder;
    handOverSample(recorder, sample, 4.25);
    gst_sample_unref(sample);
    return recorder;
}

class SampleFrame : public testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(gst_init_check(nullptr, nullptr, nullptr)); }
};

TEST_F(SampleFrame, PackedBufferIsHandedOverWithItsRowStride) {
    const Recorder recorder = handOver(patternBuffer(WIDTH * HEIGHT * 4), videoCaps("BGRA"));
    ASSERT_EQ(1, recorder.frames);
    EXPECT_EQ(std::size_t(WIDTH), recorder.view.width);
    EXPECT_EQ(std::size_t(HEIGHT), recorder.view.height);
    EXPECT_EQ(std::size_t(WIDTH * 4), recorder.view.bytesPerRow);
    EXPECT_EQ(std::size_t(WIDTH * HEIGHT * 4), recorder.view.dataSize);
    EXPECT_EQ(4.25, recorder.time);
    for (std::size_t i = 0; i < recorder.bytes.size(); ++i)
        ASSERT_EQ(pattern(i), recorder.bytes[i]) << i;
    EXPECT_TRUE(recorder.errors.empty());
}

TEST_F(SampleFrame, VideoMetaStrideAndOffsetAreHonoured) {
    // Rows padded to 32 bytes, the image starting 8 bytes into the buffer.
    const gsize offset = 8;
    const gint stride = 32;
    GstBuffer* buffer = patternBuffer(offset + HEIGHT * stride);
    addLayout(buffer, offset, stride);
    const Recorder recorder = handOver(buffer, videoCaps("BGRA"));
    ASSERT_EQ(1, recorder.frames);
    EXPECT_EQ(std::size_t(stride), recorder.view.bytesPerRow);
    EXPECT_EQ(std::size_t(HEIGHT * stride), recorder.view.dataSize);
    // Pixel (r, c) of the image is at r * stride + c * 4 from the base address.
    for (std::size_t r = 0; r < HEIGHT; ++r)
        for (std::size_t c = 0; c < WIDTH; ++c)
            for (std::size_t b = 0; b < 4; ++b) {
                const std::size_t at = r * stride + c * 4 + b;
                ASSERT_EQ(pattern(offset + at), recorder.bytes[at]) << r << ", " << c;
            }
}

TEST_F(SampleFrame, BufferSmallerThanItsCapsIsDropped) {
    const Recorder recorder = handOver(patternBuffer(WIDTH * HEIGHT * 4 - 1), videoCaps("BGRA"));
    EXPECT_EQ(0, recorder.frames);
    EXPECT_TRUE(recorder.errors.empty());
}

TEST_F(SampleFrame, RowsOfTheMetaPastTheBufferAreNeverOfferedForReading) {
    // The meta promises three rows of 32 bytes, the buffer holds 80. GStreamer maps
    // such a buffer; only its 80 bytes are offered, and the device drops the frame.
    GstBuffer* buffer = patternBuffer(80);
    addLayout(buffer, 0, 32);
    Recorder recorder = handOver(buffer, videoCaps("BGRA"));
    ASSERT_EQ(1, recorder.frames);
    EXPECT_EQ(80u, recorder.view.dataSize);
    PixelBuffer copy = recorder.view;
    copy.baseAddress = recorder.bytes.data();
    EXPECT_EQ(nullptr, framegrab::copyFrame(copy, WIDTH, HEIGHT));
    EXPECT_TRUE(recorder.errors.empty());
}

TEST_F(SampleFrame, SampleWithoutAnImageIsReported) {
    struct Case {
        const char* what;
        GstBuffer* buffer;
        GstCaps* caps;
    };
    const std::string noFrames =
        "KORVEX:webcam:deviceInaccessible / Unexpected error. No frames were received from webcam.";
    const Case cases[] = {
        {"no buffer", nullptr, videoCaps("BGRA")},
        {"no caps", patternBuffer(WIDTH * HEIGHT * 4), nullptr},
        {"not BGRA", patternBuffer(WIDTH * HEIGHT * 3), videoCaps("RGB")},
        {"not video", patternBuffer(16), gst_caps_new_empty_simple("audio/x-raw")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Recorder recorder = handOver(c.buffer, c.caps);
        EXPECT_EQ(0, recorder.frames);
        EXPECT_EQ(std::vector<std::string>{noFrames}, recorder.errors);
    }
}

TEST_F(SampleFrame, CaptureTimeIsRunningTimePlusBaseTime) {
    GstElement* sink = gst_element_factory_make("appsink", nullptr);
    ASSERT_NE(nullptr, sink);
    gst_object_ref_sink(sink);
    gst_element_set_base_time(sink, 5 * GST_SECOND);

    GstBuffer* buffer = gst_buffer_new();
    GST_BUFFER_PTS(buffer) = 3 * GST_SECOND;
    GstSegment segment;
    gst_segment_init(&segment, GST_FORMAT_TIME);
    segment.start = GST_SECOND; // running time 2 s at that presentation time
    GstSample* sample = gst_sample_new(buffer, nullptr, &segment, nullptr);
    EXPECT_DOUBLE_EQ(7.0, captureTime(sample, sink));
    gst_sample_unref(sample);

    // Without a presentation time the frame is stamped with the time now.
    GST_BUFFER_PTS(buffer) = GST_CLOCK_TIME_NONE;
    sample = gst_sample_new(buffer, nullptr, &segment, nullptr);
    const double now = static_cast<double>(gst_util_get_timestamp()) / GST_SECOND;
    EXPECT_NEAR(now, captureTime(sample, sink), 1.0);
    gst_sample_unref(sample);
    gst_buffer_unref(buffer);
    gst_object_unref(sink);
}

} // namespace
