#pragma once

// Decodes a PNG file with libpng into 8-bit RGB rows, for the tests.

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <map>
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

// The text chunks before the pixels, keyword -> text, read with libpng's full
// reader, which drops a chunk whose CRC is wrong.
inline std::map<std::string, std::string> readPngTexts(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        throw std::runtime_error("cannot open " + path);
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    std::map<std::string, std::string> texts;
    if (info == nullptr || setjmp(png_jmpbuf(png)) != 0) {
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(file);
        throw std::runtime_error("cannot read the chunks of " + path);
    }
    png_init_io(png, file);
    png_read_info(png, info);
    png_textp text = nullptr;
    const int count = png_get_text(png, info, &text, nullptr);
    for (int i = 0; i < count; ++i)
        texts[text[i].key] = std::string(text[i].text, text[i].text_length);
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    return texts;
}

} // namespace camgrab::testing
