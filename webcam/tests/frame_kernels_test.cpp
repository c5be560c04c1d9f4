#include "frame_test_support.h"
#include "webcam/frame_kernels.h"
#include "webcam/frame_reference.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>

// Every kernel set this machine can run gives exactly the bytes of the reference
// conversions, for every layout and every frame shape, and touches nothing outside
// its input and output.

namespace {

using webcam::kernels::KernelSet;
using webcam::kernels::layoutForFlags;
using webcam::kernels::PackedLayout;
using webcam::testing_support::GuardedBytes;
using webcam::testing_support::randomBytes;
using webcam::testing_support::Shape;
using webcam::testing_support::shapesToCompare;

struct Flags {
    bool hasAlpha, bgrOrder, readForward, mirrorColumns;
};

Flags flagsOf(unsigned bits) {
    return {(bits & 8) != 0, (bits & 4) != 0, (bits & 2) != 0, (bits & 1) != 0};
}

std::string describe(const Flags& f) {
    return std::string(f.hasAlpha ? "alpha" : "noAlpha") + (f.bgrOrder ? ",bgr" : ",rgb") +
           (f.readForward ? ",forward" : ",backward") + (f.mirrorColumns ? ",mirror" : "");
}

// Where two planar frames first differ, as "plane p, row r, column c", or "".
std::string firstDifference(const std::uint8_t* expected, const std::uint8_t* actual,
                            const Shape& shape) {
    const std::size_t pixels = shape.height * shape.width;
    for (std::size_t i = 0; i < 3 * pixels; ++i) {
        if (expected[i] != actual[i]) {
            const std::size_t at = i % pixels;
            return "plane " + std::to_string(i / pixels) + ", row " +
                   std::to_string(at % shape.height) + ", column " +
                   std::to_string(at / shape.height) + ": expected " + std::to_string(expected[i]) +
                   ", got " + std::to_string(actual[i]);
        }
    }
    return "";
}

std::vector<std::uint8_t> referencePacked(const std::vector<std::uint8_t>& input,
                                          const Shape& shape, const Flags& f) {
    std::vector<std::uint8_t> out(3 * shape.height * shape.width);
    webcam::reference::convert(input.data(), shape.height, shape.width, f.hasAlpha ? 4 : 3,
                               f.hasAlpha, f.bgrOrder, f.readForward, f.mirrorColumns, out.data());
    return out;
}

std::vector<std::uint8_t> referenceYuy2(const std::vector<std::uint8_t>& input,
                                        const Shape& shape) {
    std::vector<std::uint8_t> out(3 * shape.height * shape.width);
    webcam::reference::yuy2ToPlanar(input.data(), shape.height, shape.width, out.data());
    return out;
}

std::size_t yuy2Bytes(const Shape& shape) { return 4 * ((shape.height * shape.width + 1) / 2); }

class KernelSetTest : public testing::TestWithParam<const KernelSet*> {
protected:
    const KernelSet& kernels() const { return *GetParam(); }
};

// Input against one guard page and output against another; the edge alternates
// so that overreads at both ends (forward and backward reading) are caught.
TEST_P(KernelSetTest, PackedLayoutsMatchReference) {
    std::uint32_t seed = 1;
    for (unsigned bits = 0; bits < 16; ++bits) {
        const Flags f = flagsOf(bits);
        const PackedLayout layout =
            layoutForFlags(f.hasAlpha, f.bgrOrder, f.readForward, f.mirrorColumns);
        for (const Shape& shape : shapesToCompare()) {
            const auto edge = seed % 2 ? GuardedBytes::Edge::End : GuardedBytes::Edge::Start;
            const std::size_t pixels = shape.height * shape.width;
            const auto input = randomBytes(pixels * layout.bytesPerPixel, seed++);
            GuardedBytes source(input.size(), edge);
            source.fill(input);
            GuardedBytes output(3 * pixels, edge);
            kernels().packedToPlanar(layout, source.data(), shape.height, shape.width,
                                     output.data());
            const auto expected = referencePacked(input, shape, f);
            ASSERT_EQ("", firstDifference(expected.data(), output.data(), shape))
                << describe(f) << ", " << shape;
            // The input is only read.
            ASSERT_EQ(input, source.copy()) << describe(f) << ", " << shape;
        }
    }
}

TEST_P(KernelSetTest, Yuy2MatchesReference) {
    std::uint32_t seed = 100;
    for (const Shape& shape : shapesToCompare()) {
        for (const auto edge : {GuardedBytes::Edge::End, GuardedBytes::Edge::Start}) {
            const auto input = randomBytes(yuy2Bytes(shape), seed++);
            GuardedBytes source(input.size(), edge);
            source.fill(input);
            GuardedBytes output(3 * shape.height * shape.width, edge);
            kernels().yuy2ToPlanar(source.data(), shape.height, shape.width, output.data());
            const auto expected = referenceYuy2(input, shape);
            ASSERT_EQ("", firstDifference(expected.data(), output.data(), shape)) << shape;
        }
    }
}

// Extreme samples: every clamp of the colour equations, in every lane.
TEST_P(KernelSetTest, Yuy2ExtremesMatchReference) {
    const Shape shape{32, 64};
    const std::uint8_t extremes[] = {0, 1, 15, 16, 17, 127, 128, 129, 235, 240, 254, 255};
    std::vector<std::uint8_t> input(yuy2Bytes(shape));
    std::size_t k = 0;
    for (std::size_t i = 0; i < input.size(); ++i, k = k * 7 + 3)
        input[i] = extremes[k % sizeof extremes];
    std::vector<std::uint8_t> output(3 * shape.height * shape.width);
    kernels().yuy2ToPlanar(input.data(), shape.height, shape.width, output.data());
    const auto expected = referenceYuy2(input, shape);
    EXPECT_EQ("", firstDifference(expected.data(), output.data(), shape));
}

std::string kernelSetName(const testing::TestParamInfo<const KernelSet*>& info) {
    return info.param->name;
}

INSTANTIATE_TEST_SUITE_P(Supported, KernelSetTest,
                         testing::ValuesIn(webcam::kernels::supportedKernels()), kernelSetName);

// Full camera frames, the reference computed once per layout and compared with
// every kernel set.
TEST(KernelSets, FourKFramesMatchReference) {
    const Shape shape{2160, 3840};
    const std::size_t pixels = shape.height * shape.width;
    const unsigned publicLayouts[] = {0b1110, 0b0010, 0b0001}; // BGRA, RGB top-down, bottom-up
    std::uint32_t seed = 4000;
    std::vector<std::uint8_t> output(3 * pixels);
    for (const unsigned bits : publicLayouts) {
        const Flags f = flagsOf(bits);
        const auto input = randomBytes(pixels * (f.hasAlpha ? 4 : 3), seed++);
        const auto expected = referencePacked(input, shape, f);
        for (const KernelSet* kernels : webcam::kernels::supportedKernels()) {
            std::memset(output.data(), 0, output.size());
            kernels->packedToPlanar(
                layoutForFlags(f.hasAlpha, f.bgrOrder, f.readForward, f.mirrorColumns),
                input.data(), shape.height, shape.width, output.data());
            EXPECT_EQ("", firstDifference(expected.data(), output.data(), shape))
                << kernels->name << ", " << describe(f);
        }
    }
    const auto input = randomBytes(yuy2Bytes(shape), seed);
    const auto expected = referenceYuy2(input, shape);
    for (const KernelSet* kernels : webcam::kernels::supportedKernels()) {
        std::memset(output.data(), 0, output.size());
        kernels->yuy2ToPlanar(input.data(), shape.height, shape.width, output.data());
        EXPECT_EQ("", firstDifference(expected.data(), output.data(), shape))
            << kernels->name << ", YUY2";
    }
}

// Frames too large to stay in cache take other blocks in the 256-bit kernels; an
// odd size that is no multiple of any block or tile, for every flag combination.
TEST(KernelSets, LargeOddFramesMatchReference) {
    const Shape shape{1201, 2403};
    const std::size_t pixels = shape.height * shape.width;
    std::vector<std::uint8_t> output(3 * pixels);
    std::uint32_t seed = 5000;
    for (unsigned bits = 0; bits < 16; ++bits) {
        const Flags f = flagsOf(bits);
        const auto input = randomBytes(pixels * (f.hasAlpha ? 4 : 3), seed++);
        const auto expected = referencePacked(input, shape, f);
        for (const KernelSet* kernels : webcam::kernels::supportedKernels()) {
            std::memset(output.data(), 0, output.size());
            kernels->packedToPlanar(
                layoutForFlags(f.hasAlpha, f.bgrOrder, f.readForward, f.mirrorColumns),
                input.data(), shape.height, shape.width, output.data());
            EXPECT_EQ("", firstDifference(expected.data(), output.data(), shape))
                << kernels->name << ", " << describe(f);
        }
    }
}

// The portable kernels are always there, first; the vector kernels follow on
// x86-64, each only where the processor has its instructions; the converter uses
// the last.
TEST(KernelSets, PortableFirstFastestLast) {
    const auto sets = webcam::kernels::supportedKernels();
    ASSERT_FALSE(sets.empty());
    EXPECT_STREQ("portable", sets.front()->name);
    EXPECT_EQ(sets.back(), &webcam::kernels::fastestKernels());
#if defined(__x86_64__)
    __builtin_cpu_init();
    const bool avx2 = __builtin_cpu_supports("avx2");
    const bool avx512 =
        avx2 && __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512bw");
    std::vector<std::string> expected{"portable", "sse2"};
    if (avx2)
        expected.emplace_back("avx2");
    if (avx512)
        expected.emplace_back("avx512vl");
    std::vector<std::string> names;
    for (const KernelSet* set : sets)
        names.emplace_back(set->name);
    EXPECT_EQ(expected, names);
#endif
}

// Each flag combination is its own layout, and the four conversions of the
// converter are the layouts the mapping table describes.
TEST(PackedLayouts, FlagsGiveTheDocumentedLayouts) {
    struct Case {
        unsigned bits;
        PackedLayout layout;
    };
    const Case cases[] = {
        {0b1110, {4, {2, 1, 0}, false, false}}, // BGRA top-down
        {0b0010, {3, {0, 1, 2}, false, false}}, // RGB top-down
        {0b0001, {3, {2, 1, 0}, true, false}},  // RGB bottom-up (B, G, R bytes)
        {0b0110, {3, {2, 1, 0}, false, false}}, // the YUY2 intermediate (B, G, R)
        {0b1000, {4, {3, 2, 1}, true, true}},   // alpha read backward: alpha comes first
    };
    for (const Case& c : cases) {
        const Flags f = flagsOf(c.bits);
        EXPECT_TRUE(layoutForFlags(f.hasAlpha, f.bgrOrder, f.readForward, f.mirrorColumns) ==
                    c.layout)
            << describe(f);
    }
    for (unsigned a = 0; a < 16; ++a)
        for (unsigned b = a + 1; b < 16; ++b) {
            const Flags fa = flagsOf(a), fb = flagsOf(b);
            EXPECT_FALSE(
                layoutForFlags(fa.hasAlpha, fa.bgrOrder, fa.readForward, fa.mirrorColumns) ==
                layoutForFlags(fb.hasAlpha, fb.bgrOrder, fb.readForward, fb.mirrorColumns));
        }
}

} // namespace
