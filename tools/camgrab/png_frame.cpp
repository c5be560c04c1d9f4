#include "png_frame.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <png.h>
#include <stdexcept>
#include <zlib.h>

namespace camgrab {

namespace {

// The signature and the header chunk (IHDR) that every PNG file starts with.
constexpr std::size_t SIGNATURE_AND_HEADER = 8 + 4 + 4 + 13 + 4;

void appendBigEndian(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

// text as a tEXt chunk: length, type, keyword, a zero, the text, the CRC of type
// and data (zlib's crc32, the one PNG names).
std::vector<std::uint8_t> textChunk(const std::string& path, const PngText& text) {
    const bool printable = std::all_of(text.keyword.begin(), text.keyword.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return (u >= 32 && u <= 126) || u >= 161;
    });
    if (text.keyword.empty() || text.keyword.size() > 79 || !printable ||
        text.text.find('\0') != std::string::npos)
        throw std::runtime_error("cannot write '" + path + "': '" + text.keyword +
                                 "' is not a PNG text keyword with a text");
    std::vector<std::uint8_t> chunk;
    appendBigEndian(chunk, static_cast<std::uint32_t>(text.keyword.size() + 1 + text.text.size()));
    for (const char c : std::string("tEXt") + text.keyword + '\0' + text.text)
        chunk.push_back(static_cast<std::uint8_t>(c));
    const auto typeAndData = static_cast<uInt>(chunk.size() - 4);
    appendBigEndian(chunk, static_cast<std::uint32_t>(crc32(0L, chunk.data() + 4, typeAndData)));
    return chunk;
}

} // namespace

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
                 std::size_t width, const std::vector<PngText>& texts) {
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
    // libpng's simplified writer makes the file in memory (asked for its size
    // first); the text chunks go in right after the header.
    png_alloc_size_t size = 0;
    std::vector<std::uint8_t> file;
    if (png_image_write_to_memory(&image, nullptr, &size, 0, rows.data(), stride, nullptr) != 0) {
        file.resize(size);
        if (png_image_write_to_memory(&image, file.data(), &size, 0, rows.data(), stride,
                                      nullptr) == 0)
            file.clear();
    }
    if (file.empty()) {
        const std::string reason = image.message;
        png_image_free(&image);
        throw std::runtime_error("cannot write '" + path + "': " + reason);
    }
    file.resize(size);
    for (auto text = texts.rbegin(); text != texts.rend(); ++text) {
        const auto chunk = textChunk(path, *text);
        file.insert(file.begin() + SIGNATURE_AND_HEADER, chunk.begin(), chunk.end());
    }

    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (out)
        out.write(reinterpret_cast<const char*>(file.data()),
                  static_cast<std::streamsize>(file.size()));
    if (out)
        out.close();
    if (!out)
        throw std::runtime_error("cannot write '" + path + "': " + std::strerror(errno));
}

} // namespace camgrab
