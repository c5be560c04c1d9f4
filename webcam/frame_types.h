#pragma once

#include <cstdint>

// The five frame layouts exchanged between capture devices, the filter and the
// host. H = height, W = width, N = H x W; samples are unsigned bytes; rows follow
// each other with no padding. Row 0 is the top of the picture, column 0 its left edge.
//
// clang-format off
// | no. | name                     | bytes         | memory order                                 |
// |-----|--------------------------|---------------|----------------------------------------------|
// | 1   | "RGB24PlanarColumn"      | 3 N           | planes R, G, B of N bytes; (r, c) at c H + r |
// | 2   | "BGRA32PackedRowTopDown" | 4 N           | rows top first; pixel bytes B, G, R, A       |
// | 3   | "YUY2PackedRowBottomUp"  | 4 ceil(N / 2) | groups Y0, U, Y1, V in row-major pixel order |
// | 4   | "RGB24PackedRowBottomUp" | 3 N           | rows bottom first; pixel bytes B, G, R       |
// | 5   | "RGB24PackedRowTopDown"  | 3 N           | rows top first; pixel bytes R, G, B          |
// clang-format on
//
// YUY2 despite its name is converted in stored row order: the first group gives
// the two leftmost pixels of the top output row, and a group whose first pixel
// ends a row gives its second pixel to the start of the next row. When N is odd
// the last group's second luma belongs to no pixel.
//
// For readers who know other pixel libraries: BGRA32PackedRowTopDown is what many
// call "ARGB" (little-endian word order), RGB24PackedRowBottomUp has the byte order
// usually called "RGB24" with the rows stored bottom first, and RGB24PackedRowTopDown
// is the byte order usually called "RAW".

namespace webcam {

// The numbers of the frame types; 0 means that no type is set.
enum FrameTypeNumber : std::int32_t {
    FRAME_TYPE_NONE = 0,
    FRAME_TYPE_RGB24_PLANAR_COLUMN = 1,
    FRAME_TYPE_BGRA32_PACKED_ROW_TOP_DOWN = 2,
    FRAME_TYPE_YUY2_PACKED_ROW_BOTTOM_UP = 3,
    FRAME_TYPE_RGB24_PACKED_ROW_BOTTOM_UP = 4,
    FRAME_TYPE_RGB24_PACKED_ROW_TOP_DOWN = 5,
};

// The names, exactly as devices announce them and the filter reads them.
inline constexpr const char* FRAME_TYPE_NAME_RGB24_PLANAR_COLUMN = "RGB24PlanarColumn";
inline constexpr const char* FRAME_TYPE_NAME_BGRA32_PACKED_ROW_TOP_DOWN = "BGRA32PackedRowTopDown";
inline constexpr const char* FRAME_TYPE_NAME_YUY2_PACKED_ROW_BOTTOM_UP = "YUY2PackedRowBottomUp";
inline constexpr const char* FRAME_TYPE_NAME_RGB24_PACKED_ROW_BOTTOM_UP = "RGB24PackedRowBottomUp";
inline constexpr const char* FRAME_TYPE_NAME_RGB24_PACKED_ROW_TOP_DOWN = "RGB24PackedRowTopDown";

// Bytes one pixel occupies in each layout (YUY2: a group of 4 bytes holds 2 pixels).
inline constexpr unsigned BYTES_PER_PIXEL_RGB24 = 3;
inline constexpr unsigned BYTES_PER_PIXEL_BGRA32 = 4;
inline constexpr unsigned BYTES_PER_YUY2_GROUP = 4;
inline constexpr unsigned PIXELS_PER_YUY2_GROUP = 2;

} // namespace webcam
