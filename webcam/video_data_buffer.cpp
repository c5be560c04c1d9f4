#include "video_data_buffer.h"

namespace webcam {

VideoDataBuffer::VideoDataBuffer(std::uint8_t* frameData, std::size_t frameSize,
                                 std::size_t frameHeight, std::size_t frameWidth,
                                 std::size_t frameBytesPerPixel)
    : data(frameData), size(frameSize), height(frameHeight), width(frameWidth),
      bytesPerPixel(frameBytesPerPixel) {}

std::size_t VideoDataBuffer::getCount() const { return 1; }

void VideoDataBuffer::destroy() { delete this; }

VideoDataBuffer::~VideoDataBuffer() { delete[] data; }

} // namespace webcam
