#include "sample_frame_linux.h"

#include "controller_messages.h"

#include <cstdint>
#include <gst/video/video.h>

namespace framegrab {

namespace {

// Keeps a video frame mapped for reading while it is handed over.
class MappedFrame {
public:
    MappedFrame(GstVideoInfo& info, GstBuffer* buffer)
        : mapped(gst_video_frame_map(&frame, &info, buffer, GST_MAP_READ) != FALSE) {}
    ~MappedFrame() {
        if (mapped)
            gst_video_frame_unmap(&frame);
    }
    MappedFrame(const MappedFrame&) = delete;
    MappedFrame& operator=(const MappedFrame&) = delete;

    // The first plane as the device reads it; empty when the buffer could not be
    // mapped (it is smaller than its caps say).
    PixelBuffer pixels() const {
        PixelBuffer view;
        if (!mapped)
            return view;
        const gint stride = GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0);
        const auto* data = static_cast<const std::uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0));
        const auto* mapStart = static_cast<const std::uint8_t*>(frame.map[0].data);
        const std::uint8_t* mapEnd = mapStart + frame.map[0].size;
        if (stride <= 0 || data == nullptr || data < mapStart || data > mapEnd)
            return view;
        view.baseAddress = data;
        view.bytesPerRow = static_cast<std::size_t>(stride);
        view.width = static_cast<std::size_t>(GST_VIDEO_FRAME_WIDTH(&frame));
        view.height = static_cast<std::size_t>(GST_VIDEO_FRAME_HEIGHT(&frame));
        // Only what the mapping holds from the plane's start may be read.
        view.dataSize = static_cast<std::size_t>(mapEnd - data);
        return view;
    }

private:
    GstVideoFrame frame{};
    const bool mapped;
};

} // namespace

double captureTime(GstSample* sample, GstElement* sink) {
    GstClockTime when = GST_CLOCK_TIME_NONE;
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    const GstClockTime presentation =
        buffer != nullptr ? GST_BUFFER_PTS(buffer) : GST_CLOCK_TIME_NONE;
    const GstClockTime base = gst_element_get_base_time(sink);
    if (GST_CLOCK_TIME_IS_VALID(presentation) && GST_CLOCK_TIME_IS_VALID(base)) {
        const GstSegment* segment = gst_sample_get_segment(sample);
        const GstClockTime running =
            segment != nullptr && segment->format == GST_FORMAT_TIME
                ? gst_segment_to_running_time(segment, GST_FORMAT_TIME, presentation)
                : presentation;
        if (GST_CLOCK_TIME_IS_VALID(running))
            when = base + running;
    }
    if (!GST_CLOCK_TIME_IS_VALID(when)) {
        // No usable presentation time: the frame is stamped when it is handled.
        GstClock* clock = gst_element_get_clock(sink);
        when = clock != nullptr ? gst_clock_get_time(clock) : gst_util_get_timestamp();
        if (clock != nullptr)
            gst_object_unref(clock);
    }
    return static_cast<double>(when) / static_cast<double>(GST_SECOND);
}

void handOverSample(ControllerClient& client, GstSample* sample, double timestamp) {
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    GstCaps* caps = gst_sample_get_caps(sample);
    GstVideoInfo info;
    if (buffer == nullptr || caps == nullptr || !gst_video_info_from_caps(&info, caps) ||
        GST_VIDEO_INFO_FORMAT(&info) != GST_VIDEO_FORMAT_BGRA) {
        client.errorFcn(messages::NO_FRAMES.identifier, messages::NO_FRAMES.text);
        return;
    }
    MappedFrame frame(info, buffer);
    const PixelBuffer pixels = frame.pixels();
    if (pixels.baseAddress == nullptr)
        return;
    client.processFrame(pixels, timestamp);
}

} // namespace framegrab
