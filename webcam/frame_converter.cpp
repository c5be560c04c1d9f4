#include "frame_converter.h"

#include "frame_kernels.h"
#include "frame_reference.h"
#include "frame_types.h"

#include <iterator>
#include <memory>

namespace webcam {
namespace {

bool multiply(std::size_t a, std::size_t b, std::size_t& product) {
    return !__builtin_mul_overflow(a, b, &product);
}

// The pixel count of a frame that agrees with a packed layout of bytesPerPixel
// bytes (frame_converter.h), or false. Reading bottom-up starts at the last byte of
// height x width x frame->bytesPerPixel, so there it must be bytesPerPixel as well.
bool packedPixels(const VideoDataBuffer& frame, std::size_t bytesPerPixel, bool bottomUp,
                  std::size_t& pixels) {
    std::size_t inputBytes = 0;
    if (!multiply(frame.height, frame.width, pixels) ||
        !multiply(pixels, bytesPerPixel, inputBytes) || frame.size != inputBytes)
        return false;
    return pixels == 0 ||
           (frame.data != nullptr && (!bottomUp || frame.bytesPerPixel == bytesPerPixel));
}

// The pixel count of a YUY2 frame that agrees with its layout, or false: every pixel
// needs its group, and every whole group needs a pixel.
bool yuy2Pixels(const VideoDataBuffer& frame, std::size_t& pixels) {
    std::size_t outputBytes = 0;
    if (!multiply(frame.height, frame.width, pixels) ||
        !multiply(pixels, BYTES_PER_PIXEL_RGB24, outputBytes))
        return false;
    const std::size_t groups = pixels / PIXELS_PER_YUY2_GROUP + pixels % PIXELS_PER_YUY2_GROUP;
    return frame.size / BYTES_PER_YUY2_GROUP == groups && (pixels == 0 || frame.data != nullptr);
}

// A new planar frame whose 3 x pixels bytes fill writes (they are not cleared first).
template <class Fill>
VideoDataBuffer* planarFrame(const VideoDataBuffer& frame, std::size_t pixels, Fill&& fill) {
    const std::size_t bytes = BYTES_PER_PIXEL_RGB24 * pixels;
    std::unique_ptr<std::uint8_t[]> data(new std::uint8_t[bytes]);
    if (pixels != 0)
        fill(data.get());
    auto* planar =
        new VideoDataBuffer(data.get(), bytes, frame.height, frame.width, BYTES_PER_PIXEL_RGB24);
    data.release();
    return planar;
}

// The planar frame that the fastest kernel of layout makes of a frame that agrees with it.
VideoDataBuffer* kernelConversion(const VideoDataBuffer& frame, std::size_t pixels,
                                  kernels::Layout layout) {
    return planarFrame(frame, pixels, [&frame, layout](std::uint8_t* dst) {
        kernels::fastestKernels().toPlanar[layout](frame.data, frame.height, frame.width, dst);
    });
}

// The conversion of a frame of a known layout: the checks, then the kernel.
VideoDataBuffer* toPlanar(const conduit::interfaces::IDataBuffer* input, kernels::Layout layout) {
    const auto* frame = dynamic_cast<const VideoDataBuffer*>(input);
    if (frame == nullptr)
        return nullptr;
    std::size_t pixels = 0;
    const bool agrees = layout == kernels::YUY2
                            ? yuy2Pixels(*frame, pixels)
                            : packedPixels(*frame, kernels::RGB_LAYOUTS[layout].bytesPerPixel,
                                           kernels::RGB_LAYOUTS[layout].bottomUp, pixels);
    return agrees ? kernelConversion(*frame, pixels, layout) : nullptr;
}

// The flags of convert that read each packed RGB layout (see frame_converter.h).
struct ReadingOrder {
    bool hasAlpha, bgrOrder, readForward, mirrorColumns;
};

// clang-format off
constexpr ReadingOrder READING_ORDERS[] = {
    // hasAlpha, bgrOrder, readForward, mirrorColumns
    {true,  true,  true,  false}, // BGRA32_TOP_DOWN
    {false, false, true,  false}, // RGB24_TOP_DOWN
    {false, false, false, true},  // RGB24_BOTTOM_UP
};
// clang-format on
static_assert(std::size(READING_ORDERS) == kernels::YUY2, "one row per packed RGB layout");

} // namespace

VideoDataBuffer*
FrameConverter::packedBGRATopDownToPlanarRGBColumn(const conduit::interfaces::IDataBuffer* frame) {
    return toPlanar(frame, kernels::BGRA32_TOP_DOWN);
}

VideoDataBuffer*
FrameConverter::packedRGBTopDownToPlanarRGBColumn(const conduit::interfaces::IDataBuffer* frame) {
    return toPlanar(frame, kernels::RGB24_TOP_DOWN);
}

VideoDataBuffer*
FrameConverter::packedRGBBottomUpToPlanarRGBColumn(const conduit::interfaces::IDataBuffer* frame) {
    return toPlanar(frame, kernels::RGB24_BOTTOM_UP);
}

VideoDataBuffer*
FrameConverter::packedYUY2BottomUpToPlanarRGBColumn(const conduit::interfaces::IDataBuffer* frame) {
    return toPlanar(frame, kernels::YUY2);
}

// A reading order that is one of the packed RGB layouts takes that layout's kernel;
// the others, which no frame type has, take the one-pixel-at-a-time conversion.
VideoDataBuffer* FrameConverter::convert(const VideoDataBuffer* frame, bool hasAlpha, bool bgrOrder,
                                         bool readForward, bool mirrorColumns) {
    if (frame == nullptr)
        return nullptr;
    const std::size_t bytesPerPixel = hasAlpha ? BYTES_PER_PIXEL_BGRA32 : BYTES_PER_PIXEL_RGB24;
    std::size_t pixels = 0;
    if (!packedPixels(*frame, bytesPerPixel, !readForward, pixels))
        return nullptr;
    for (unsigned layout = 0; layout < std::size(READING_ORDERS); ++layout) {
        const ReadingOrder& order = READING_ORDERS[layout];
        if (order.hasAlpha == hasAlpha && order.bgrOrder == bgrOrder &&
            order.readForward == readForward && order.mirrorColumns == mirrorColumns)
            return kernelConversion(*frame, pixels, kernels::Layout(layout));
    }
    return planarFrame(*frame, pixels, [&](std::uint8_t* dst) {
        reference::convert(frame->data, frame->height, frame->width, bytesPerPixel, hasAlpha,
                           bgrOrder, readForward, mirrorColumns, dst);
    });
}

} // namespace webcam
