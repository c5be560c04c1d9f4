#pragma once

// Frames in the host's image layout ("RGB24PlanarColumn": three 8-bit planes R, G,
// B, each stored column by column) written as PNG files with libpng.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace camgrab {

// The frame as PNG rows: row by row from the top, each pixel R, G, B. Pixel (r, c)
// of plane p is at planar[p x height x width + c x height + r].
std::vector<std::uint8_t> planarColumnToRgbRows(const std::uint8_t* planar, std::size_t height,
                                                std::size_t width);

// A PNG text chunk (tEXt): a keyword of 1 to 79 printable Latin-1 characters and
// its text, which any PNG reader shows with the picture.
struct PngText {
    std::string keyword;
    std::string text;
};

// Writes rows (3 x width bytes each, from the top) as an 8-bit RGB PNG file, with
// texts as tEXt chunks before the pixels. Throws std::runtime_error naming the
// file and the reason.
void writeRgbPng(const std::string& path, const std::vector<std::uint8_t>& rows, std::size_t height,
                 std::size_t width, const std::vector<PngText>& texts = {});

} // namespace camgrab
