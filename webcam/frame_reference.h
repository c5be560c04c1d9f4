#pragma once

#include <cstddef>
#include <cstdint>

// Internal to pixcore: the conversions in their plain, obviously correct form, one
// pixel at a time in reading order. They are the yardstick of the fast kernels
// (tests compare the two byte for byte, the benchmark times both). The converter
// calls convert only for the reading orders that no frame type has, and so no kernel.

namespace webcam::reference {

// Packed to planar, as the reading order defines it. With N = height x width,
// d = +1 (readForward) or -1, s = 0 (readForward) or N x bytesPerPixel - 1, and
// t = d x (hasAlpha ? 4 : 3): pixel k = 0 ... N - 1 is read at p, p + d, p + 2d with
// p = s + k t; it belongs to row r = k div W and column c = k mod W (W - 1 - k mod W
// when mirrorColumns). The first byte read goes to plane 2 (bgrOrder) or 0, the
// second to plane 1, the third to plane 0 (bgrOrder) or 2, each at plane x N + c x H + r.
// The caller guarantees that every byte read lies in src and that dst holds 3 N bytes.
void convert(const std::uint8_t* src, std::size_t height, std::size_t width,
             std::size_t bytesPerPixel, bool hasAlpha, bool bgrOrder, bool readForward,
             bool mirrorColumns, std::uint8_t* dst);

// First stage of YUY2: group g (bytes Y0, U, Y1, V at 4g ... 4g + 3) gives the
// pixels 2g and 2g + 1 as B, G, R at bgr[6g ...], by the integer BT.601
// limited-range equations with 8 fraction bits. Pixels at or beyond `pixels` are
// not written, so an odd pixel count never runs past the intermediate.
void yuy2ToBgr(const std::uint8_t* src, std::size_t groups, std::size_t pixels, std::uint8_t* bgr);

// Both stages of YUY2 with a full-frame B, G, R intermediate: yuy2ToBgr, then
// convert(hasAlpha false, bgrOrder true, readForward true, mirrorColumns false).
// src holds at least ceil(height x width / 2) groups; dst 3 x height x width bytes.
void yuy2ToPlanar(const std::uint8_t* src, std::size_t height, std::size_t width,
                  std::uint8_t* dst);

} // namespace webcam::reference
