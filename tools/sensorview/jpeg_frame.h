#pragma once

// Frames as JPEG pictures for the page, with libjpeg-turbo's TurboJPEG API.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace sensorview {

class JpegEncoder {
public:
    // quality 1 to 100.
    explicit JpegEncoder(int quality = 80);

    // rows: height rows from the top, each width pixels of R, G, B. Throws
    // std::runtime_error with TurboJPEG's reason when it cannot encode.
    std::string encode(const std::uint8_t* rows, std::size_t height, std::size_t width);

private:
    struct HandleCloser {
        void operator()(void* handle) const;
    };
    std::unique_ptr<void, HandleCloser> handle;
    int quality;
};

} // namespace sensorview
