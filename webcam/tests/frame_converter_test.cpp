#include "frame_test_support.h"
#include "webcam/frame_converter.h"
#include "webcam/frame_reference.h"
#include "webcam/frame_types.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace {

using webcam::FrameConverter;
using webcam::VideoDataBuffer;
using webcam::testing_support::GuardedBytes;
using webcam::testing_support::randomBytes;
using webcam::testing_support::Shape;
using webcam::testing_support::shapesToCompare;

using Bytes = std::vector<std::uint8_t>;
using Conversion = VideoDataBuffer* (*)(const conduit::interfaces::IDataBuffer*);

struct FrameDeleter {
    void operator()(VideoDataBuffer* frame) const {
        if (frame != nullptr)
            frame->destroy();
    }
};
using FramePtr = std::unique_ptr<VideoDataBuffer, FrameDeleter>;

// A frame that owns a copy of the given bytes.
FramePtr ownedFrame(const Bytes& bytes, std::size_t height, std::size_t width,
                    std::size_t bytesPerPixel) {
    auto* data = new std::uint8_t[bytes.size()];
    std::copy(bytes.begin(), bytes.end(), data);
    return FramePtr(new VideoDataBuffer(data, bytes.size(), height, width, bytesPerPixel));
}

// A frame over bytes it does not own (a guarded buffer, or a small array standing
// in for an impossible size); it lets go of them before it is destroyed.
struct BorrowedFrame {
    BorrowedFrame(std::uint8_t* data, std::size_t size, std::size_t height, std::size_t width,
                  std::size_t bytesPerPixel)
        : frame(new VideoDataBuffer(data, size, height, width, bytesPerPixel)) {}
    ~BorrowedFrame() {
        frame->data = nullptr;
        frame->destroy();
    }
    BorrowedFrame(const BorrowedFrame&) = delete;
    BorrowedFrame& operator=(const BorrowedFrame&) = delete;
    VideoDataBuffer* frame;
};

Bytes bytesOf(const VideoDataBuffer& frame) { return Bytes(frame.data, frame.data + frame.size); }

struct PixelRgb {
    int red, green, blue;
    bool operator==(const PixelRgb& other) const {
        return red == other.red && green == other.green && blue == other.blue;
    }
};

std::ostream& operator<<(std::ostream& out, const PixelRgb& p) {
    return out << "(" << p.red << ", " << p.green << ", " << p.blue << ")";
}

// Pixel (row, column) of a planar frame.
PixelRgb pixelAt(const VideoDataBuffer& planar, std::size_t row, std::size_t column) {
    const std::size_t pixels = planar.height * planar.width;
    const std::size_t at = column * planar.height + row;
    return {planar.data[at], planar.data[pixels + at], planar.data[2 * pixels + at]};
}

void expectPlanarShape(const VideoDataBuffer& result, std::size_t height, std::size_t width) {
    EXPECT_EQ(height, result.height);
    EXPECT_EQ(width, result.width);
    EXPECT_EQ(3u, result.bytesPerPixel);
    EXPECT_EQ(3 * height * width, result.size);
}

// --- The mapping tables on frames small enough to check by hand ------------------

// Stored rows (A, B) of a bottom-up frame: B is the top row of the picture, and each
// stored pixel holds blue, green, red.
TEST(FrameConverterMapping, BottomUpRowsAndBlueGreenRedBytes) {
    const Bytes stored = {1, 2, 3, 4,  5,  6,   // row A: (B, G, R) x 2, bottom of the picture
                          7, 8, 9, 10, 11, 12}; // row B: top of the picture
    const FramePtr frame = ownedFrame(stored, 2, 2, 3);
    const FramePtr planar(FrameConverter::packedRGBBottomUpToPlanarRGBColumn(frame.get()));
    ASSERT_NE(nullptr, planar);
    expectPlanarShape(*planar, 2, 2);
    // Planes R, G, B, each column by column: (row 0, col 0), (row 1, col 0), ...
    EXPECT_EQ((Bytes{9, 3, 12, 6, 8, 2, 11, 5, 7, 1, 10, 4}), bytesOf(*planar));
}

TEST(FrameConverterMapping, TopDownRgbIsTransposedIntoPlanes) {
    const Bytes stored = {1,  2,  3,  4,  5,  6,  7,  8,  9,   // row 0: (R, G, B) x 3
                          10, 11, 12, 13, 14, 15, 16, 17, 18}; // row 1
    const FramePtr frame = ownedFrame(stored, 2, 3, 3);
    const FramePtr planar(FrameConverter::packedRGBTopDownToPlanarRGBColumn(frame.get()));
    ASSERT_NE(nullptr, planar);
    expectPlanarShape(*planar, 2, 3);
    EXPECT_EQ((Bytes{1, 10, 4, 13, 7, 16, 2, 11, 5, 14, 8, 17, 3, 12, 6, 15, 9, 18}),
              bytesOf(*planar));
}

// 4 x N bytes give 3 x N bytes, and the alpha bytes change nothing.
TEST(FrameConverterMapping, BgraDropsAlphaWithoutInfluence) {
    const Bytes opaque = {10, 20, 30, 255, 11, 21, 31, 255,  // row 0: (B, G, R, A) x 2
                          12, 22, 32, 255, 13, 23, 33, 255}; // row 1
    Bytes varied = opaque;
    for (std::size_t i = 3; i < varied.size(); i += 4)
        varied[i] = static_cast<std::uint8_t>(i * 37);
    const Bytes expected = {30, 32, 31, 33, 20, 22, 21, 23, 10, 12, 11, 13};
    for (const Bytes& stored : {opaque, varied}) {
        const FramePtr frame = ownedFrame(stored, 2, 2, 4);
        const FramePtr planar(FrameConverter::packedBGRATopDownToPlanarRGBColumn(frame.get()));
        ASSERT_NE(nullptr, planar);
        expectPlanarShape(*planar, 2, 2);
        EXPECT_EQ(expected, bytesOf(*planar));
    }
}

struct YuvCase {
    std::uint8_t y, u, v;
    PixelRgb rgb;
};

TEST(FrameConverterMapping, Yuy2KnownColours) {
    const YuvCase cases[] = {
        {16, 128, 128, {0, 0, 0}},        // black
        {235, 128, 128, {255, 255, 255}}, // white
        {128, 128, 128, {130, 130, 130}}, // mid grey
        {81, 90, 240, {255, 0, 0}},       // red
        {41, 240, 110, {0, 0, 255}},      // blue
    };
    for (const YuvCase& c : cases) {
        const FramePtr frame = ownedFrame({c.y, c.u, c.y, c.v}, 1, 2, 2);
        const FramePtr planar(FrameConverter::packedYUY2BottomUpToPlanarRGBColumn(frame.get()));
        ASSERT_NE(nullptr, planar);
        expectPlanarShape(*planar, 1, 2);
        EXPECT_EQ(c.rgb, pixelAt(*planar, 0, 0)) << int(c.y) << "," << int(c.u) << "," << int(c.v);
        EXPECT_EQ(c.rgb, pixelAt(*planar, 0, 1)) << int(c.y) << "," << int(c.u) << "," << int(c.v);
    }
}

// The first stored group is the top-left of the output, despite the layout's name.
TEST(FrameConverterMapping, Yuy2KeepsStoredRowOrder) {
    const Bytes stored = {235, 128, 235, 128,  // first stored row: white
                          16,  128, 16,  128}; // second: black
    const FramePtr frame = ownedFrame(stored, 2, 2, 2);
    const FramePtr planar(FrameConverter::packedYUY2BottomUpToPlanarRGBColumn(frame.get()));
    ASSERT_NE(nullptr, planar);
    for (std::size_t column = 0; column < 2; ++column) {
        EXPECT_EQ((PixelRgb{255, 255, 255}), pixelAt(*planar, 0, column));
        EXPECT_EQ((PixelRgb{0, 0, 0}), pixelAt(*planar, 1, column));
    }
}

// Groups follow the pixels in row-major order: with 3 columns the second group
// gives the last pixel of row 0 and the first of row 1, both with its chroma.
TEST(FrameConverterMapping, Yuy2GroupsStraddleRowsOfOddWidth) {
    const Bytes stored = {16, 128, 235, 128,  // pixels 0, 1: black, white
                          81, 90,  81,  240,  // pixels 2, 3: red, red
                          41, 240, 41,  110}; // pixels 4, 5: blue, blue
    const FramePtr frame = ownedFrame(stored, 2, 3, 2);
    const FramePtr planar(FrameConverter::packedYUY2BottomUpToPlanarRGBColumn(frame.get()));
    ASSERT_NE(nullptr, planar);
    EXPECT_EQ((PixelRgb{0, 0, 0}), pixelAt(*planar, 0, 0));
    EXPECT_EQ((PixelRgb{255, 255, 255}), pixelAt(*planar, 0, 1));
    EXPECT_EQ((PixelRgb{255, 0, 0}), pixelAt(*planar, 0, 2));
    EXPECT_EQ((PixelRgb{255, 0, 0}), pixelAt(*planar, 1, 0));
    EXPECT_EQ((PixelRgb{0, 0, 255}), pixelAt(*planar, 1, 1));
    EXPECT_EQ((PixelRgb{0, 0, 255}), pixelAt(*planar, 1, 2));
}

// 1 to 3 bytes after the last whole group are ignored; with an odd pixel count the
// last group's second luma belongs to no pixel.
TEST(FrameConverterMapping, Yuy2IgnoresTrailingBytes) {
    const Bytes groups = {81, 90, 240, 240, 41, 240, 16, 110}; // red, white-ish / blue, black
    for (const Shape shape : {Shape{1, 4}, Shape{1, 3}}) {
        const FramePtr exact = ownedFrame(groups, shape.height, shape.width, 2);
        const FramePtr planar(FrameConverter::packedYUY2BottomUpToPlanarRGBColumn(exact.get()));
        ASSERT_NE(nullptr, planar) << shape;
        EXPECT_EQ((PixelRgb{255, 0, 0}), pixelAt(*planar, 0, 0));
        EXPECT_EQ((PixelRgb{0, 0, 255}), pixelAt(*planar, 0, 2));
        for (const std::size_t extra : {1u, 2u, 3u}) {
            Bytes longer = groups;
            longer.insert(longer.end(), extra, std::uint8_t{200});
            const FramePtr frame = ownedFrame(longer, shape.height, shape.width, 2);
            const FramePtr result(FrameConverter::packedYUY2BottomUpToPlanarRGBColumn(frame.get()));
            ASSERT_NE(nullptr, result) << shape << " + " << extra;
            EXPECT_EQ(bytesOf(*planar), bytesOf(*result)) << shape << " + " << extra;
        }
    }
}

// The integer equations against the BT.601 limited-range equations in floating
// point: Y, U and V each run through all 256 values.
TEST(FrameConverterMapping, Yuy2SweepStaysWithinTwoOfFloatBt601) {
    const auto floatRgb = [](int y, int u, int v) {
        const double luma = 1.164 * (y - 16);
        const auto clamp = [](double x) {
            return static_cast<int>(std::lround(std::clamp(x, 0.0, 255.0)));
        };
        return PixelRgb{clamp(luma + 1.596 * (v - 128)),
                        clamp(luma - 0.392 * (u - 128) - 0.813 * (v - 128)),
                        clamp(luma + 2.017 * (u - 128))};
    };
    // Row r, group g: the second value sweeps along the row, the first down the
    // columns; each sweep once with the third component in the middle and at the ends.
    struct Sweep {
        const char* name;
        std::uint8_t (*y)(int r, int g), (*u)(int r, int g), (*v)(int r, int g);
    };
    const Sweep sweeps[] = {
        {"Y x U", [](int r, int) { return std::uint8_t(r); },
         [](int, int g) { return std::uint8_t(g); },
         [](int r, int) { return std::uint8_t(r % 3 * 127); }},
        {"Y x V", [](int r, int) { return std::uint8_t(r); },
         [](int r, int) { return std::uint8_t(r % 3 * 127); },
         [](int, int g) { return std::uint8_t(g); }},
        {"U x V", [](int r, int) { return std::uint8_t(16 + r % 3 * 110); },
         [](int r, int) { return std::uint8_t(r); }, [](int, int g) { return std::uint8_t(g); }},
    };
    for (const Sweep& sweep : sweeps) {
        Bytes stored;
        for (int r = 0; r < 256; ++r)
            for (int g = 0; g < 256; ++g)
                stored.insert(stored.end(),
                              {sweep.y(r, g), sweep.u(r, g), sweep.y(r, g), sweep.v(r, g)});
        const FramePtr frame = ownedFrame(stored, 256, 512, 2);
        const FramePtr planar(FrameConverter::packedYUY2BottomUpToPlanarRGBColumn(frame.get()));
        ASSERT_NE(nullptr, planar);
        int worst = 0;
        for (int r = 0; r < 256; ++r) {
            for (int g = 0; g < 256; ++g) {
                const PixelRgb expected = floatRgb(sweep.y(r, g), sweep.u(r, g), sweep.v(r, g));
                for (std::size_t half = 0; half < 2; ++half) {
                    const PixelRgb actual =
                        pixelAt(*planar, std::size_t(r), std::size_t(2 * g) + half);
                    worst = std::max({worst, std::abs(actual.red - expected.red),
                                      std::abs(actual.green - expected.green),
                                      std::abs(actual.blue - expected.blue)});
                }
            }
        }
        EXPECT_LE(worst, 2) << sweep.name;
    }
}

// --- Inputs that give null --------------------------------------------------------

class ForeignBuffer : public conduit::interfaces::IDataBuffer {
public:
    std::size_t getCount() const override { return 1; }
    void destroy() override { delete this; }

protected:
    ~ForeignBuffer() override = default;
};

const Conversion CONVERSIONS[] = {
    FrameConverter::packedBGRATopDownToPlanarRGBColumn,
    FrameConverter::packedRGBTopDownToPlanarRGBColumn,
    FrameConverter::packedRGBBottomUpToPlanarRGBColumn,
    FrameConverter::packedYUY2BottomUpToPlanarRGBColumn,
};
const char* const CONVERSION_NAMES[] = {"BGRA", "RGB top-down", "RGB bottom-up", "YUY2"};

TEST(FrameConverterInputs, NullAndForeignInputsGiveNull) {
    std::unique_ptr<ForeignBuffer, void (*)(ForeignBuffer*)> foreign(
        new ForeignBuffer, [](ForeignBuffer* b) { b->destroy(); });
    for (std::size_t i = 0; i < std::size(CONVERSIONS); ++i) {
        EXPECT_EQ(nullptr, CONVERSIONS[i](nullptr)) << CONVERSION_NAMES[i];
        EXPECT_EQ(nullptr, CONVERSIONS[i](foreign.get())) << CONVERSION_NAMES[i];
    }
    for (unsigned bits = 0; bits < 16; ++bits)
        EXPECT_EQ(nullptr,
                  FrameConverter::convert(nullptr, bits & 8, bits & 4, bits & 2, bits & 1));
}

struct SizeCase {
    const char* what;
    std::size_t conversion; // index into CONVERSIONS
    std::size_t height, width, size, bytesPerPixel;
    bool converts;
};

constexpr std::size_t HUGE_SIDE = std::size_t(1) << 32;
constexpr std::size_t MAX = std::numeric_limits<std::size_t>::max();

// A frame that disagrees with its layout is refused before anything is read or
// allocated: the data array below is only 64 bytes long, whatever the size says.
TEST(FrameConverterInputs, DisagreeingFramesGiveNull) {
    const SizeCase cases[] = {
        {"BGRA exact", 0, 2, 3, 24, 4, true},
        {"BGRA one byte short", 0, 2, 3, 23, 4, false},
        {"BGRA one byte long", 0, 2, 3, 25, 4, false},
        {"BGRA sized as RGB", 0, 2, 3, 18, 4, false},
        {"BGRA sized as nothing", 0, 2, 3, 0, 4, false},
        {"BGRA pixel count overflows", 0, HUGE_SIDE, HUGE_SIDE, 0, 4, false},
        {"BGRA byte count overflows", 0, HUGE_SIDE / 2, HUGE_SIDE / 2, 0, 4, false},
        {"BGRA byte count wraps to the size", 0, std::size_t(1) << 62, 1, 0, 4, false},
        {"RGB top-down exact", 1, 3, 2, 18, 3, true},
        {"RGB top-down short", 1, 3, 2, 17, 3, false},
        {"RGB top-down sized as BGRA", 1, 3, 2, 24, 3, false},
        {"RGB top-down ignores bytesPerPixel", 1, 3, 2, 18, 4, true},
        {"RGB top-down byte count wraps", 1, MAX / 3 + 1, 1, 2, 3, false},
        {"RGB bottom-up exact", 2, 3, 2, 18, 3, true},
        {"RGB bottom-up long", 2, 3, 2, 19, 3, false},
        {"RGB bottom-up starts past the end", 2, 3, 2, 18, 4, false},
        {"RGB bottom-up starts before the start", 2, 3, 2, 18, 2, false},
        {"RGB bottom-up pixel count overflows", 2, MAX, 2, 0, 3, false},
        {"YUY2 exact", 3, 2, 4, 16, 2, true},
        {"YUY2 one trailing byte", 3, 2, 4, 17, 2, true},
        {"YUY2 three trailing bytes", 3, 2, 4, 19, 2, true},
        {"YUY2 a whole group too many", 3, 2, 4, 20, 2, false},
        {"YUY2 a byte short of the last group", 3, 2, 4, 15, 2, false},
        {"YUY2 ignores bytesPerPixel", 3, 2, 4, 16, 7, true},
        {"YUY2 odd pixel count, padded group", 3, 3, 3, 20, 2, true},
        {"YUY2 odd pixel count, last pixel missing", 3, 3, 3, 18, 2, false},
        {"YUY2 pixel count overflows", 3, HUGE_SIDE, HUGE_SIDE, 0, 2, false},
        {"YUY2 output size overflows", 3, 7000000000000000000u, 1, 14000000000000000000u, 2, false},
    };
    std::uint8_t bytes[64] = {};
    for (const SizeCase& c : cases) {
        BorrowedFrame input(bytes, c.size, c.height, c.width, c.bytesPerPixel);
        const FramePtr result(CONVERSIONS[c.conversion](input.frame));
        EXPECT_EQ(c.converts, result != nullptr) << c.what;
        if (result)
            expectPlanarShape(*result, c.height, c.width);
    }
}

TEST(FrameConverterInputs, MissingDataGivesNullUnlessThereAreNoPixels) {
    for (std::size_t i = 0; i < std::size(CONVERSIONS); ++i) {
        BorrowedFrame withPixels(nullptr, i == 0 ? 16 : (i == 3 ? 8 : 12), 2, 2, i == 0 ? 4 : 3);
        EXPECT_EQ(nullptr, CONVERSIONS[i](withPixels.frame)) << CONVERSION_NAMES[i];
        BorrowedFrame empty(nullptr, 0, 0, 2, i == 0 ? 4 : 3);
        const FramePtr result(CONVERSIONS[i](empty.frame));
        ASSERT_NE(nullptr, result) << CONVERSION_NAMES[i];
        expectPlanarShape(*result, 0, 2);
    }
}

// Height or width 0: a frame of the same shape with no pixels.
TEST(FrameConverterInputs, EmptyFramesKeepTheirShape) {
    for (const Shape shape : {Shape{0, 5}, Shape{5, 0}, Shape{0, 0}}) {
        std::uint8_t unused[4] = {};
        for (std::size_t i = 0; i < std::size(CONVERSIONS); ++i) {
            BorrowedFrame input(unused, 0, shape.height, shape.width, i == 0 ? 4 : 3);
            const FramePtr result(CONVERSIONS[i](input.frame));
            ASSERT_NE(nullptr, result) << CONVERSION_NAMES[i] << ", " << shape;
            expectPlanarShape(*result, shape.height, shape.width);
        }
        for (unsigned bits = 0; bits < 16; ++bits) {
            BorrowedFrame input(unused, 0, shape.height, shape.width, 1);
            const FramePtr result(
                FrameConverter::convert(input.frame, bits & 8, bits & 4, bits & 2, bits & 1));
            ASSERT_NE(nullptr, result) << bits << ", " << shape;
            expectPlanarShape(*result, shape.height, shape.width);
        }
    }
}

TEST(FrameConverterInputs, ConvertChecksBytesPerPixelOnlyWhenReadingBackward) {
    std::uint8_t bytes[18] = {};
    BorrowedFrame input(bytes, 18, 2, 3, 4);
    const FramePtr forward(FrameConverter::convert(input.frame, false, false, true, false));
    EXPECT_NE(nullptr, forward);
    const FramePtr backward(FrameConverter::convert(input.frame, false, false, false, true));
    EXPECT_EQ(nullptr, backward);
}

// --- Against the reference, through the public functions -------------------------

struct PublicCase {
    const char* name;
    Conversion conversion;
    unsigned bytesPerPixel;
    bool hasAlpha, bgrOrder, readForward, mirrorColumns;
};

const PublicCase PUBLIC_CASES[] = {
    {"BGRA", FrameConverter::packedBGRATopDownToPlanarRGBColumn, 4, true, true, true, false},
    {"RGB top-down", FrameConverter::packedRGBTopDownToPlanarRGBColumn, 3, false, false, true,
     false},
    {"RGB bottom-up", FrameConverter::packedRGBBottomUpToPlanarRGBColumn, 3, false, false, false,
     true},
};

// Input against a guard page (the end for forward reading, the start for
// backward); the output comes from the converter's own allocation.
TEST(FrameConverterReference, PublicConversionsMatchReference) {
    std::uint32_t seed = 7;
    for (const Shape& shape : shapesToCompare()) {
        const std::size_t pixels = shape.height * shape.width;
        for (const PublicCase& c : PUBLIC_CASES) {
            const Bytes input = randomBytes(pixels * c.bytesPerPixel, seed++);
            GuardedBytes source(input.size(), c.readForward ? GuardedBytes::Edge::End
                                                            : GuardedBytes::Edge::Start);
            source.fill(input);
            BorrowedFrame frame(source.data(), input.size(), shape.height, shape.width,
                                c.bytesPerPixel);
            const FramePtr planar(c.conversion(frame.frame));
            ASSERT_NE(nullptr, planar) << c.name << ", " << shape;
            expectPlanarShape(*planar, shape.height, shape.width);
            Bytes expected(3 * pixels);
            webcam::reference::convert(input.data(), shape.height, shape.width, c.bytesPerPixel,
                                       c.hasAlpha, c.bgrOrder, c.readForward, c.mirrorColumns,
                                       expected.data());
            ASSERT_EQ(expected, bytesOf(*planar)) << c.name << ", " << shape;
            ASSERT_EQ(input, source.copy()) << c.name << ", " << shape;
        }
        // YUY2 with 0 to 3 trailing bytes.
        const std::size_t groupBytes = 4 * ((pixels + 1) / 2);
        const std::size_t trailing = seed % 4;
        const Bytes input = randomBytes(groupBytes + trailing, seed++);
        GuardedBytes source(input.size(), GuardedBytes::Edge::End);
        source.fill(input);
        BorrowedFrame frame(source.data(), input.size(), shape.height, shape.width, 2);
        const FramePtr planar(FrameConverter::packedYUY2BottomUpToPlanarRGBColumn(frame.frame));
        ASSERT_NE(nullptr, planar) << "YUY2, " << shape;
        expectPlanarShape(*planar, shape.height, shape.width);
        Bytes expected(3 * pixels);
        webcam::reference::yuy2ToPlanar(input.data(), shape.height, shape.width, expected.data());
        ASSERT_EQ(expected, bytesOf(*planar)) << "YUY2, " << shape;
    }
}

TEST(FrameConverterReference, ConvertMatchesReferenceForEveryFlagCombination) {
    std::uint32_t seed = 900;
    for (const Shape shape : {Shape{1, 1}, Shape{17, 33}, Shape{37, 301}, Shape{480, 640}}) {
        for (unsigned bits = 0; bits < 16; ++bits) {
            const bool hasAlpha = bits & 8, bgrOrder = bits & 4, readForward = bits & 2,
                       mirrorColumns = bits & 1;
            const std::size_t bytesPerPixel = hasAlpha ? 4 : 3;
            const std::size_t pixels = shape.height * shape.width;
            const Bytes input = randomBytes(pixels * bytesPerPixel, seed++);
            const FramePtr frame = ownedFrame(input, shape.height, shape.width, bytesPerPixel);
            const FramePtr planar(FrameConverter::convert(frame.get(), hasAlpha, bgrOrder,
                                                          readForward, mirrorColumns));
            ASSERT_NE(nullptr, planar) << bits << ", " << shape;
            expectPlanarShape(*planar, shape.height, shape.width);
            Bytes expected(3 * pixels);
            webcam::reference::convert(input.data(), shape.height, shape.width, bytesPerPixel,
                                       hasAlpha, bgrOrder, readForward, mirrorColumns,
                                       expected.data());
            ASSERT_EQ(expected, bytesOf(*planar)) << bits << ", " << shape;
            // The input is neither changed nor released.
            ASSERT_EQ(input, bytesOf(*frame));
        }
    }
}

} // namespace
