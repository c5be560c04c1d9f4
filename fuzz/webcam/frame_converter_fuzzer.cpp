// The frame conversions on frames of any height, width, size, bytes per pixel and
// content. Where a frame agrees with its layout, the conversion must return the
// planar frame, byte for byte what the plain reference conversion makes of it, and
// so must every kernel set this processor runs; where it does not agree, the
// conversion must return null without touching the bytes. Every array has exactly
// its size, so any read or write past it is caught.
//
// Input: byte 0 picks the conversion (bits 0-2: the BGRA, RGB top-down, RGB
// bottom-up or YUY2 conversion, or 4-7: convert() with the flags hasAlpha,
// bgrOrder, readForward, mirrorColumns in bits 3-6) and, in bit 7, a frame without
// data. Byte 1 says how the numbers follow: bits 0-1 height and width (one byte
// each, two bytes each, eight bytes each); bits 2-3 the size (the size the layout
// needs, that plus a signed byte, or eight bytes); bits 4-5 bytesPerPixel (the
// layout's, one byte, or eight bytes). The remaining bytes are the pixels,
// repeated to fill the frame.

#include "webcam/frame_converter.h"
#include "webcam/frame_kernels.h"
#include "webcam/frame_reference.h"
#include "webcam/video_data_buffer.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

using webcam::FrameConverter;
using webcam::VideoDataBuffer;

// Frames up to this many bytes are converted; larger ones are only offered where
// the conversion must refuse them.
constexpr std::size_t LARGEST_FRAME = 256 * 1024;

void check(bool condition) {
    if (!condition)
        std::abort();
}

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : at(data), left(size) {}

    std::uint64_t number(std::size_t bytes) {
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < bytes; ++i) {
            value |= static_cast<std::uint64_t>(left != 0 ? *at : 0) << (8 * i);
            if (left != 0) {
                ++at;
                --left;
            }
        }
        return value;
    }
    const std::uint8_t* rest() const { return at; }
    std::size_t restSize() const { return left; }

private:
    const std::uint8_t* at;
    std::size_t left;
};

bool multiply(std::size_t a, std::size_t b, std::size_t& product) {
    return !__builtin_mul_overflow(a, b, &product);
}

enum class Conversion { Bgra, RgbTopDown, RgbBottomUp, Yuy2, Convert };

struct Flags {
    bool hasAlpha;
    bool bgrOrder;
    bool readForward;
    bool mirrorColumns;
};

using webcam::kernels::Layout;
constexpr auto NO_KERNEL = webcam::kernels::LAYOUT_COUNT;

struct Choice {
    Conversion conversion;
    Flags flags;   // of the packed conversion (unused for YUY2)
    Layout layout; // the kernels' layout, or NO_KERNEL for a reading order no frame type has
};

constexpr Flags BGRA_FLAGS{true, true, true, false};
constexpr Flags RGB_TOP_DOWN_FLAGS{false, false, true, false};
constexpr Flags RGB_BOTTOM_UP_FLAGS{false, false, false, true};

bool operator==(const Flags& a, const Flags& b) {
    return a.hasAlpha == b.hasAlpha && a.bgrOrder == b.bgrOrder && a.readForward == b.readForward &&
           a.mirrorColumns == b.mirrorColumns;
}

Layout layoutOf(const Flags& flags) {
    if (flags == BGRA_FLAGS)
        return webcam::kernels::BGRA32_TOP_DOWN;
    if (flags == RGB_TOP_DOWN_FLAGS)
        return webcam::kernels::RGB24_TOP_DOWN;
    if (flags == RGB_BOTTOM_UP_FLAGS)
        return webcam::kernels::RGB24_BOTTOM_UP;
    return NO_KERNEL;
}

Choice choose(std::uint8_t selector) {
    switch (selector & 7u) {
    case 0:
        return {Conversion::Bgra, BGRA_FLAGS, webcam::kernels::BGRA32_TOP_DOWN};
    case 1:
        return {Conversion::RgbTopDown, RGB_TOP_DOWN_FLAGS, webcam::kernels::RGB24_TOP_DOWN};
    case 2:
        return {Conversion::RgbBottomUp, RGB_BOTTOM_UP_FLAGS, webcam::kernels::RGB24_BOTTOM_UP};
    case 3:
        return {Conversion::Yuy2, {false, true, true, false}, webcam::kernels::YUY2};
    default: {
        const Flags flags{(selector & 0x08u) != 0, (selector & 0x10u) != 0, (selector & 0x20u) != 0,
                          (selector & 0x40u) != 0};
        return {Conversion::Convert, flags, layoutOf(flags)};
    }
    }
}

// What the layout needs: the packed size, or the YUY2 groups' bytes. False when
// it cannot be counted in a size_t.
bool neededSize(const Choice& choice, std::size_t height, std::size_t width, std::size_t& bytes) {
    std::size_t pixels = 0;
    if (!multiply(height, width, pixels))
        return false;
    if (choice.conversion == Conversion::Yuy2)
        return multiply(pixels / 2 + pixels % 2, 4, bytes);
    return multiply(pixels, choice.flags.hasAlpha ? 4 : 3, bytes);
}

// Whether the converter must accept the frame (see frame_converter.h).
bool agrees(const Choice& choice, const VideoDataBuffer& frame) {
    std::size_t pixels = 0;
    std::size_t planar = 0;
    if (!multiply(frame.height, frame.width, pixels) || !multiply(pixels, 3, planar))
        return false;
    if (choice.conversion == Conversion::Yuy2)
        return frame.size / 4 == pixels / 2 + pixels % 2 && (pixels == 0 || frame.data != nullptr);
    const std::size_t bytesPerPixel = choice.flags.hasAlpha ? 4 : 3;
    std::size_t packed = 0;
    if (!multiply(pixels, bytesPerPixel, packed) || frame.size != packed)
        return false;
    return pixels == 0 || (frame.data != nullptr &&
                           (choice.flags.readForward || frame.bytesPerPixel == bytesPerPixel));
}

VideoDataBuffer* run(const Choice& choice, const VideoDataBuffer* frame) {
    switch (choice.conversion) {
    case Conversion::Bgra:
        return FrameConverter::packedBGRATopDownToPlanarRGBColumn(frame);
    case Conversion::RgbTopDown:
        return FrameConverter::packedRGBTopDownToPlanarRGBColumn(frame);
    case Conversion::RgbBottomUp:
        return FrameConverter::packedRGBBottomUpToPlanarRGBColumn(frame);
    case Conversion::Yuy2:
        return FrameConverter::packedYUY2BottomUpToPlanarRGBColumn(frame);
    default:
        return FrameConverter::convert(frame, choice.flags.hasAlpha, choice.flags.bgrOrder,
                                       choice.flags.readForward, choice.flags.mirrorColumns);
    }
}

void compareWithReference(const Choice& choice, const VideoDataBuffer& frame,
                          const VideoDataBuffer& result) {
    const std::size_t pixels = frame.height * frame.width;
    check(result.height == frame.height && result.width == frame.width &&
          result.bytesPerPixel == 3 && result.size == 3 * pixels);
    if (pixels == 0)
        return;
    check(result.data != nullptr);
    std::unique_ptr<std::uint8_t[]> expected(new std::uint8_t[3 * pixels]);
    const Flags& f = choice.flags;
    if (choice.conversion == Conversion::Yuy2)
        webcam::reference::yuy2ToPlanar(frame.data, frame.height, frame.width, expected.get());
    else
        webcam::reference::convert(frame.data, frame.height, frame.width, f.hasAlpha ? 4 : 3,
                                   f.hasAlpha, f.bgrOrder, f.readForward, f.mirrorColumns,
                                   expected.get());
    check(std::memcmp(expected.get(), result.data, 3 * pixels) == 0);

    // Every kernel set, not only the one this processor's converter picked, where
    // the frame has a layout of the kernel tables.
    if (choice.layout == NO_KERNEL)
        return;
    for (const webcam::kernels::KernelSet* kernels : webcam::kernels::supportedKernels()) {
        std::unique_ptr<std::uint8_t[]> output(new std::uint8_t[3 * pixels]);
        kernels->toPlanar[choice.layout](frame.data, frame.height, frame.width, output.get());
        check(std::memcmp(expected.get(), output.get(), 3 * pixels) == 0);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input input(data, size);
    const auto selector = static_cast<std::uint8_t>(input.number(1));
    const auto layoutBits = static_cast<std::uint8_t>(input.number(1));
    const Choice choice = choose(selector);
    const bool withoutData = (selector & 0x80u) != 0;

    static const std::size_t shapeBytes[4] = {1, 2, 8, 1};
    const std::size_t shape = shapeBytes[layoutBits & 3u];
    const auto height = static_cast<std::size_t>(input.number(shape));
    const auto width = static_cast<std::size_t>(input.number(shape));

    std::size_t frameSize = 0;
    const bool countable = neededSize(choice, height, width, frameSize);
    switch ((layoutBits >> 2) & 3u) {
    case 1:
        frameSize += static_cast<std::size_t>(static_cast<std::int8_t>(input.number(1)));
        break;
    case 2:
        frameSize = static_cast<std::size_t>(input.number(8));
        break;
    default:
        if (!countable)
            frameSize = static_cast<std::size_t>(input.number(8));
        break;
    }

    const std::size_t layoutBytesPerPixel = choice.conversion == Conversion::Yuy2 ? 2
                                            : choice.flags.hasAlpha               ? 4
                                                                                  : 3;
    std::size_t bytesPerPixel = layoutBytesPerPixel;
    switch ((layoutBits >> 4) & 3u) {
    case 1:
        bytesPerPixel = static_cast<std::size_t>(input.number(1));
        break;
    case 2:
        bytesPerPixel = static_cast<std::size_t>(input.number(8));
        break;
    default:
        break;
    }

    // A frame too large to build whole is offered with a one-byte array: the
    // conversion must refuse it without reading. One it would accept is not tried.
    const bool whole = frameSize <= LARGEST_FRAME;
    std::uint8_t* pixels = nullptr;
    if (!withoutData) {
        const std::size_t allocated = whole ? frameSize : 1;
        pixels = new std::uint8_t[allocated == 0 ? 1 : allocated];
        for (std::size_t i = 0; i < allocated; ++i)
            pixels[i] = input.restSize() != 0 ? input.rest()[i % input.restSize()]
                                              : static_cast<std::uint8_t>(i);
    }
    std::unique_ptr<VideoDataBuffer, void (*)(VideoDataBuffer*)> frame(
        new VideoDataBuffer(pixels, frameSize, height, width, bytesPerPixel),
        [](VideoDataBuffer* buffer) { buffer->destroy(); });

    const bool accept = agrees(choice, *frame);
    if (accept && !whole)
        return 0;
    std::unique_ptr<VideoDataBuffer, void (*)(VideoDataBuffer*)> result(
        run(choice, frame.get()), [](VideoDataBuffer* buffer) {
            if (buffer != nullptr)
                buffer->destroy();
        });
    if (!accept) {
        check(result == nullptr);
        return 0;
    }
    check(result != nullptr);
    compareWithReference(choice, *frame, *result);
    return 0;
}
