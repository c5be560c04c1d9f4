#pragma once

#include "conduit/interfaces/data_buffer.h"
#include "pixcore_export.h"

#include <cstddef>
#include <cstdint>

namespace webcam {

// One video frame travelling through the channel. The layout of the bytes (one of
// the frame types of frame_types.h) is agreed between sender and receiver through
// the "InputFrameType" and "OutputFrameType" properties; it is not stored here.
class PIXCORE_EXPORT VideoDataBuffer : public conduit::interfaces::IDataBuffer {
public:
    // Takes ownership of frameData, an array allocated with new[] (may be null).
    VideoDataBuffer(std::uint8_t* frameData, std::size_t frameSize, std::size_t frameHeight,
                    std::size_t frameWidth, std::size_t frameBytesPerPixel);
    VideoDataBuffer(const VideoDataBuffer&) = delete;
    VideoDataBuffer& operator=(const VideoDataBuffer&) = delete;

    // One frame per buffer, whatever its size.
    std::size_t getCount() const override;
    void destroy() override;

    std::uint8_t* data;        // the pixel bytes, owned
    std::size_t size;          // bytes in data
    std::size_t height;        // rows
    std::size_t width;         // columns
    std::size_t bytesPerPixel; // 4 for BGRA, 3 for the RGB layouts

protected:
    ~VideoDataBuffer() override;
};

} // namespace webcam
