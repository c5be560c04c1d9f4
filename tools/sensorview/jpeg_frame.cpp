#include "jpeg_frame.h"

#include <limits>
#include <stdexcept>
#include <turbojpeg.h>

namespace sensorview {

void JpegEncoder::HandleCloser::operator()(void* turbo) const { tjDestroy(turbo); }

JpegEncoder::JpegEncoder(int jpegQuality) : handle(tjInitCompress()), quality(jpegQuality) {
    if (handle == nullptr)
        throw std::runtime_error(std::string("cannot start the JPEG encoder: ") +
                                 tjGetErrorStr2(nullptr));
}

std::string JpegEncoder::encode(const std::uint8_t* rows, std::size_t height, std::size_t width) {
    constexpr std::size_t LARGEST = std::numeric_limits<int>::max() / 3;
    if (rows == nullptr || height == 0 || width == 0 || height > LARGEST || width > LARGEST)
        throw std::runtime_error("no frame to encode");
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    // 4:2:0 like a camera's own JPEG; the fast DCT keeps a 30 a second stream cheap.
    const int result =
        tjCompress2(handle.get(), rows, static_cast<int>(width), 0, static_cast<int>(height),
                    TJPF_RGB, &jpeg, &size, TJSAMP_420, quality, TJFLAG_FASTDCT);
    std::unique_ptr<unsigned char, void (*)(unsigned char*)> owned(jpeg, tjFree);
    if (result != 0)
        throw std::runtime_error(std::string("cannot encode a frame as JPEG: ") +
                                 tjGetErrorStr2(handle.get()));
    return std::string(reinterpret_cast<const char*>(jpeg), size);
}

} // namespace sensorview
