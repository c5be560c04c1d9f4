#include "framegrab/frame_copy.h"

#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>
#include <limits>
#include <stdexcept>
#include <vector>

namespace {

using framegrab::copyFrame;
using framegrab::PixelBuffer;
using framegrab::pixelCount;

// A BGRA image of imageWidth x imageHeight pixels whose rows are stride bytes apart;
// every byte holds a value derived from its position, padding included.
struct Image {
    Image(std::size_t imageWidth, std::size_t imageHeight, std::size_t stride)
        : bytes((imageHeight - 1) * stride + imageWidth * 4) {
        for (std::size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
        view.baseAddress = bytes.data();
        view.bytesPerRow = stride;
        view.width = imageWidth;
        view.height = imageHeight;
        view.dataSize = bytes.size();
    }
    // Byte b of pixel (row, column) in the image.
    std::uint8_t at(std::size_t row, std::size_t column, std::size_t b) const {
        return bytes[row * view.bytesPerRow + column * 4 + b];
    }
    // The buffer ends right after the last pixel of the last row, so under
    // AddressSanitizer any read past it is caught.
    std::vector<std::uint8_t> bytes;
    PixelBuffer view;
};

// The copy holds pixel (r, c) of the image at (r * width + c) * 4, and nothing else.
void expectTopLeftCopy(const Image& image, std::size_t width, std::size_t height) {
    auto frame = copyFrame(image.view, width, height);
    ASSERT_NE(nullptr, frame);
    EXPECT_EQ(width * height * 4, frame->size);
    EXPECT_EQ(height, frame->height);
    EXPECT_EQ(width, frame->width);
    EXPECT_EQ(4u, frame->bytesPerPixel);
    EXPECT_EQ(1u, frame->getCount());
    for (std::size_t r = 0; r < height; ++r)
        for (std::size_t c = 0; c < width; ++c)
            for (std::size_t b = 0; b < 4; ++b)
                ASSERT_EQ(image.at(r, c, b), frame->data[(r * width + c) * 4 + b])
                    << "row " << r << ", column " << c << ", byte " << b;
}

TEST(CopyFrame, CopiesRowsAtTheirStride) {
    struct Case {
        std::size_t imageWidth, imageHeight, stride, width, height;
    };
    const Case cases[] = {
        {640, 480, 640 * 4, 640, 480}, // tightly packed: one block
        {1, 1, 4, 1, 1},               // one pixel
        {7, 5, 7 * 4 + 4, 7, 5},       // one padding pixel per row
        {33, 3, 256, 33, 3},           // rows aligned to 256 bytes
        {1, 9, 64, 1, 9},              // a column
        {9, 1, 9 * 4 + 60, 9, 1},      // one padded row: the padding is never read
        {10, 8, 10 * 4, 6, 5},         // a larger image: its top-left corner
        {10, 8, 10 * 4 + 24, 3, 8},    // a larger, padded image
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.imageWidth << "x" << c.imageHeight << " stride "
                                        << c.stride << " as " << c.width << "x" << c.height);
        expectTopLeftCopy(Image(c.imageWidth, c.imageHeight, c.stride), c.width, c.height);
    }
}

TEST(CopyFrame, DropsImagesSmallerThanTheResolutionAndUnknownResolutions) {
    struct Case {
        const char* what;
        std::size_t width, height;
        void (*damage)(PixelBuffer&);
    };
    const Case cases[] = {
        {"unknown width", 0, 4, [](PixelBuffer&) {}},
        {"unknown height", 6, 0, [](PixelBuffer&) {}},
        {"no pixels", 6, 4, [](PixelBuffer& view) { view.baseAddress = nullptr; }},
        {"narrower image", 6, 4, [](PixelBuffer& view) { view.width = 5; }},
        {"shorter image", 6, 4, [](PixelBuffer& view) { view.height = 3; }},
        {"rows shorter than the width", 6, 4, [](PixelBuffer& view) { view.bytesPerRow = 23; }},
        {"one byte missing", 6, 4, [](PixelBuffer& view) { view.dataSize -= 1; }},
        {"empty buffer", 6, 4, [](PixelBuffer& view) { view.dataSize = 0; }},
        {"stride beyond any buffer", 6, 4,
         [](PixelBuffer& view) { view.bytesPerRow = std::numeric_limits<std::size_t>::max() / 2; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Image image(6, 4, 6 * 4 + 8);
        c.damage(image.view);
        EXPECT_EQ(nullptr, copyFrame(image.view, c.width, c.height));
    }
}

TEST(CopyFrame, ExactlyLargeEnoughBufferIsCopied) {
    // The last row needs no padding after it.
    Image image(5, 3, 5 * 4 + 12);
    ASSERT_EQ(2u * (5 * 4 + 12) + 5 * 4, image.view.dataSize);
    expectTopLeftCopy(image, 5, 3);
}

TEST(CopyFrame, FrameBeyondMemoryIsALengthError) {
    // A resolution whose frame size cannot be counted in bytes is an error, not a
    // wrapped-around small allocation.
    const std::size_t huge = std::size_t(1) << 40;
    PixelBuffer view;
    static const std::uint8_t byte = 0;
    view.baseAddress = &byte;
    view.width = huge;
    view.height = huge;
    view.bytesPerRow = huge * 4;
    view.dataSize = std::numeric_limits<std::size_t>::max();
    EXPECT_THROW(copyFrame(view, huge, huge), std::length_error);
    view.width = std::numeric_limits<std::size_t>::max();
    EXPECT_THROW(copyFrame(view, std::numeric_limits<std::size_t>::max(), 1), std::length_error);
}

TEST(PixelCount, TruncatesAndTreatsNonPositiveAsUnknown) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        double dimension;
        std::size_t expected;
    };
    const Case cases[] = {
        {0.0, 0},
        {-3.0, 0},
        {0.99, 0},
        {nan, 0},
        {1.0, 1},
        {640.0, 640},
        {720.99, 720},
        {1e30, std::numeric_limits<std::size_t>::max()},
        {std::numeric_limits<double>::infinity(), std::numeric_limits<std::size_t>::max()},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, pixelCount(c.dimension)) << c.dimension;
}

} // namespace
