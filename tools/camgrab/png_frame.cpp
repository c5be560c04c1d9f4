#include "png_frame.h"

#include <png.h>
#include <stdexcept>

namespace camgrab {

std::vector<std::uint8_t> planarColumnToRgbRows(const std::uint8_t* planar, std::size_t height,
                                                std::size_t width) {
    const std::size_t plane = height * width;
    std::vector<std::uint8_t> rows(plane * 3);
    for (std::size_t c = 0; c < width; ++c) {
        // Column by column, as the planes are stored: each plane is read in order.
        const std::uint8_t* red = planar + c * height;
        const std::uint8_t* green = red + plane;
        const std::uint8_t* blue = green + plane;
        for (std::size_t r = 0; r < height; ++r) {
            std::uint8_t* pixel = rows.data() + (r * width + c) * 3;
            pixel[0] = red[r];
            pixel[1] = green[r];
            pixel[2] = blue[r];
        }
    }
    return rows;
}

void writeRgbPng(const std::string& path, const std::vector<std::uint8_t>& rows, std::size_t height,
                 std::size_t width) {
    if (rows.size() != height * width * 3)
        throw std::runtime_error("cannot write '" + path + "': the frame holds " +
                                 std::to_string(rows.size()) + " bytes, not " +
                                 std::to_string(height * width * 3));
    if (height == 0 || width == 0 || height > 0x7fffffff || width > 0x7fffffff / 3)
        throw std::runtime_error("cannot write '" + path + "': a " + std::to_string(width) + "x" +
                                 std::to_string(height) + " frame has no PNG form");
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGB;
    const auto stride = static_cast<png_int_32>(width * 3);
    if (png_image_write_to_file(&image, path.c_str(), 0, rows.data(), stride, nullptr) == 0) {
        const std::string reason = image.message;
        png_image_free(&image);
        throw std::runtime_error("cannot write '" + path + "': " + reason);
    }
}

} // namespace camgrab
