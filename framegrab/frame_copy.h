#pragma once

#include "capture_controller.h"
#include "conduit/kit/release.h"
#include "webcam/video_data_buffer.h"

#include <cstddef>
#include <memory>

namespace framegrab {

using VideoFramePtr = std::unique_ptr<webcam::VideoDataBuffer, conduit::kit::Releaser>;

// Copies the top-left width x height pixels of a BGRA image into a new, tightly
// packed "BGRA32PackedRowTopDown" frame, honouring the image's row stride. Returns
// null, reading nothing, when the frame size is unknown (width or height 0) or the
// image is smaller than it. Throws std::length_error when the frame would not fit
// in memory at all.
VideoFramePtr copyFrame(const PixelBuffer& pixels, std::size_t width, std::size_t height);

// A frame dimension held as a double (a camera's resolution) as a pixel count:
// 0 for anything below 1 (and NaN), truncated otherwise, saturating at SIZE_MAX.
std::size_t pixelCount(double dimension);

} // namespace framegrab
