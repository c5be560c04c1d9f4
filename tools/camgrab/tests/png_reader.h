#pragma once

// Decodes a PNG file with libpng into 8-bit RGB rows, for the tests.

#include <cstdint>
#include <png.h>
#include <stdexcept>
#include <string>
#include <vector>

namespace camgrab::testing {

struct DecodedPng {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t channels = 0;    // of the file itself: 3 for RGB
    std::vector<std::uint8_t> rgb; // rows from the top, R G B per pixel
};

inline DecodedPng readPng(const std::string& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_file(&image, path.c_str()) == 0)
        throw std::runtime_error("cannot read " + path + ": " + image.message);
    DecodedPng decoded;
    decoded.width = image.width;
    decoded.height = image.height;
    decoded.channels = PNG_IMAGE_SAMPLE_CHANNELS(image.format);
    image.format = PNG_FORMAT_RGB;
    decoded.rgb.resize(PNG_IMAGE_SIZE(image));
    if (png_image_finish_read(&image, nullptr, decoded.rgb.data(), 0, nullptr) == 0) {
        const std::string reason = image.message;
        png_image_free(&image);
        throw std::runtime_error("cannot decode " + path + ": " + reason);
    }
    return decoded;
}

} // namespace camgrab::testing
