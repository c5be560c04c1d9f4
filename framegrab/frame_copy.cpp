#include "frame_copy.h"

#include <cstdint>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace framegrab {

namespace {

constexpr std::size_t BGRA_BYTES_PER_PIXEL = 4;
constexpr std::size_t SIZE_LIMIT = std::numeric_limits<std::size_t>::max();

// The bytes that must be readable for height rows of rowBytes at this stride.
// SIZE_LIMIT when that cannot even be counted (no real image is that large).
std::size_t spanOfRows(std::size_t rowBytes, std::size_t height, std::size_t stride) {
    const std::size_t padded = height - 1;
    if (padded != 0 && stride > (SIZE_LIMIT - rowBytes) / padded)
        return SIZE_LIMIT;
    return padded * stride + rowBytes;
}

} // namespace

std::size_t pixelCount(double dimension) {
    if (!(dimension >= 1.0))
        return 0;
    // 2^64 as a double; every smaller double converts without overflow.
    if (dimension >= static_cast<double>(SIZE_LIMIT))
        return SIZE_LIMIT;
    return static_cast<std::size_t>(dimension);
}

VideoFramePtr copyFrame(const PixelBuffer& pixels, std::size_t width, std::size_t height) {
    if (width == 0 || height == 0 || pixels.baseAddress == nullptr)
        return nullptr;
    if (pixels.width < width || pixels.height < height)
        return nullptr;
    if (width > SIZE_LIMIT / BGRA_BYTES_PER_PIXEL)
        throw std::length_error("frame row too large");
    const std::size_t rowBytes = width * BGRA_BYTES_PER_PIXEL;
    if (height > SIZE_LIMIT / rowBytes)
        throw std::length_error("frame too large");
    const std::size_t size = rowBytes * height;
    if (pixels.bytesPerRow < rowBytes)
        return nullptr;
    if (pixels.dataSize < spanOfRows(rowBytes, height, pixels.bytesPerRow))
        return nullptr;

    std::unique_ptr<std::uint8_t[]> data(new std::uint8_t[size]);
    if (pixels.bytesPerRow == rowBytes) {
        std::memcpy(data.get(), pixels.baseAddress, size);
    } else {
        // Padded (or wider) rows: take the first rowBytes of each.
        for (std::size_t row = 0; row < height; ++row)
            std::memcpy(data.get() + row * rowBytes, pixels.baseAddress + row * pixels.bytesPerRow,
                        rowBytes);
    }
    VideoFramePtr frame(
        new webcam::VideoDataBuffer(data.get(), size, height, width, BGRA_BYTES_PER_PIXEL));
    data.release();
    return frame;
}

} // namespace framegrab
