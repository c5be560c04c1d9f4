#include "frame_converter.h"

#include "frame_kernels.h"
#include "frame_types.h"

#include <memory>

namespace webcam {
namespace {

const VideoDataBuffer* asVideoFrame(const conduit::interfaces::IDataBuffer* frame) {
    return dynamic_cast<const VideoDataBuffer*>(frame);
}

bool multiply(std::size_t a, std::size_t b, std::size_t& product) {
    return !__builtin_mul_overflow(a, b, &product);
}

// A new planar frame whose 3 x pixels bytes the kernel fills (they are not cleared first).
template <class Kernel>
VideoDataBuffer* planarFrame(std::size_t height, std::size_t width, std::size_t pixels,
                             Kernel&& fill) {
    const std::size_t bytes = BYTES_PER_PIXEL_RGB24 * pixels;
    std::unique_ptr<std::uint8_t[]> data(new std::uint8_t[bytes]);
    if (pixels != 0)
        fill(data.get());
    auto* frame = new VideoDataBuffer(data.get(), bytes, height, width, BYTES_PER_PIXEL_RGB24);
    data.release();
    return frame;
}

} // namespace

VideoDataBuffer*
FrameConverter::packedBGRATopDownToPlanarRGBColumn(const conduit::interfaces::IDataBuffer* frame) {
    return convert(asVideoFrame(frame), true, true, true, false);
}

VideoDataBuffer*
FrameConverter::packedRGBTopDownToPlanarRGBColumn(const conduit::interfaces::IDataBuffer* frame) {
    return convert(asVideoFrame(frame), false, false, true, false);
}

VideoDataBuffer*
FrameConverter::packedRGBBottomUpToPlanarRGBColumn(const conduit::interfaces::IDataBuffer* frame) {
    return convert(asVideoFrame(frame), false, false, false, true);
}

VideoDataBuffer*
FrameConverter::packedYUY2BottomUpToPlanarRGBColumn(const conduit::interfaces::IDataBuffer* frame) {
    const VideoDataBuffer* yuy2 = asVideoFrame(frame);
    if (yuy2 == nullptr)
        return nullptr;
    const std::size_t height = yuy2->height;
    const std::size_t width = yuy2->width;
    std::size_t pixels = 0;
    std::size_t outputBytes = 0;
    if (!multiply(height, width, pixels) || !multiply(pixels, BYTES_PER_PIXEL_RGB24, outputBytes))
        return nullptr;
    // Every pixel needs its group, and every whole group needs a pixel.
    const std::size_t groups = pixels / PIXELS_PER_YUY2_GROUP + pixels % PIXELS_PER_YUY2_GROUP;
    if (yuy2->size / BYTES_PER_YUY2_GROUP != groups || (pixels != 0 && yuy2->data == nullptr))
        return nullptr;
    return planarFrame(height, width, pixels, [&](std::uint8_t* dst) {
        kernels::fastestKernels().yuy2ToPlanar(yuy2->data, height, width, dst);
    });
}

VideoDataBuffer* FrameConverter::convert(const VideoDataBuffer* frame, bool hasAlpha, bool bgrOrder,
                                         bool readForward, bool mirrorColumns) {
    if (frame == nullptr)
        return nullptr;
    const std::size_t height = frame->height;
    const std::size_t width = frame->width;
    const std::size_t bytesPerPixel = hasAlpha ? BYTES_PER_PIXEL_BGRA32 : BYTES_PER_PIXEL_RGB24;
    std::size_t pixels = 0;
    std::size_t inputBytes = 0;
    if (!multiply(height, width, pixels) || !multiply(pixels, bytesPerPixel, inputBytes) ||
        frame->size != inputBytes)
        return nullptr;
    if (pixels != 0 &&
        (frame->data == nullptr || (!readForward && frame->bytesPerPixel != bytesPerPixel)))
        return nullptr;
    const kernels::PackedLayout layout =
        kernels::layoutForFlags(hasAlpha, bgrOrder, readForward, mirrorColumns);
    return planarFrame(height, width, pixels, [&](std::uint8_t* dst) {
        kernels::fastestKernels().packedToPlanar(layout, frame->data, height, width, dst);
    });
}

} // namespace webcam
