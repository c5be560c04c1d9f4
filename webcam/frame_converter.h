#pragma once

#include "conduit/interfaces/data_buffer.h"
#include "pixcore_export.h"
#include "video_data_buffer.h"

namespace webcam {

// Conversions of packed camera frames (frame_types.h) to "RGB24PlanarColumn", the
// host's image layout. Stateless and re-entrant; any thread may call them.
//
// Each conversion returns a new frame of the input's height and width with
// bytesPerPixel 3 and size 3 x height x width, which the caller releases with
// destroy(); the input stays the caller's and is not changed. A height or width of
// 0 gives such a frame with no pixels.
//
// Null comes back, and nothing else happens, for a null input, an input that is
// not a VideoDataBuffer, and a frame that disagrees with its layout:
// - packed layouts of b bytes per pixel (BGRA: 4, RGB24: 3): size must equal
//   height x width x b, computed without overflow, and data must not be null
//   when there are pixels. Reading bottom-up starts at the last byte of
//   height x width x bytesPerPixel, so there bytesPerPixel must be b as well;
//   elsewhere bytesPerPixel is not used.
// - YUY2: the frame must hold exactly ceil(height x width / 2) whole groups of 4
//   bytes, that is floor(size / 4) groups; 1 to 3 bytes after the last group are
//   ignored. With an odd pixel count the last group's second luma is ignored.
//   bytesPerPixel is not used.
// Allocation failure throws std::bad_alloc; nothing is leaked.
class PIXCORE_EXPORT FrameConverter {
public:
    FrameConverter() = delete;

    // "BGRA32PackedRowTopDown" to "RGB24PlanarColumn"; the alpha bytes are ignored.
    static VideoDataBuffer*
    packedBGRATopDownToPlanarRGBColumn(const conduit::interfaces::IDataBuffer* frame);
    // "RGB24PackedRowTopDown" (bytes R, G, B) to "RGB24PlanarColumn".
    static VideoDataBuffer*
    packedRGBTopDownToPlanarRGBColumn(const conduit::interfaces::IDataBuffer* frame);
    // "RGB24PackedRowBottomUp" (bytes B, G, R, bottom row first) to "RGB24PlanarColumn".
    static VideoDataBuffer*
    packedRGBBottomUpToPlanarRGBColumn(const conduit::interfaces::IDataBuffer* frame);
    // "YUY2PackedRowBottomUp" to "RGB24PlanarColumn" by the integer BT.601
    // limited-range equations; stored row order is kept (no vertical flip).
    static VideoDataBuffer*
    packedYUY2BottomUpToPlanarRGBColumn(const conduit::interfaces::IDataBuffer* frame);

    // The packed-to-planar conversion the three packed layouts share. Pixels of
    // 4 bytes (hasAlpha: the fourth byte read is skipped) or 3; the first byte read
    // of a pixel is blue (bgrOrder) or red, the second green, the third the other;
    // the frame is read from byte 0 up (readForward) or from its last byte down,
    // the j-th pixel read in a row going to column j or, with mirrorColumns, to
    // column width - 1 - j. Null for a null or disagreeing frame (see above, with
    // b = hasAlpha ? 4 : 3 and bottom-up meaning !readForward).
    static VideoDataBuffer* convert(const VideoDataBuffer* frame, bool hasAlpha, bool bgrOrder,
                                    bool readForward, bool mirrorColumns);
};

} // namespace webcam
