#include "frame_test_support.h"
#include "webcam/frame_kernels.h"
#include "webcam/frame_reference.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <tuple>
#include <vector>

// Every kernel set this machine can run gives exactly the bytes of the reference
// conversions, for every layout of its table and every frame shape, and touches
// nothing outside its input and output.

namespace {

using webcam::kernels::KernelSet;
using webcam::kernels::Layout;
using webcam::testing_support::GuardedBytes;
using webcam::testing_support::randomBytes;
using webcam::testing_support::Shape;
using webcam::testing_support::shapesToCompare;

std::vector<Layout> allLayouts() {
    std::vector<Layout> layouts;
    for (unsigned layout = 0; layout < webcam::kernels::LAYOUT_COUNT; ++layout)
        layouts.push_back(Layout(layout));
    return layouts;
}

std::string nameOf(Layout layout) {
    switch (layout) {
    case webcam::kernels::BGRA32_TOP_DOWN:
        return "BGRA32TopDown";
    case webcam::kernels::RGB24_TOP_DOWN:
        return "RGB24TopDown";
    case webcam::kernels::RGB24_BOTTOM_UP:
        return "RGB24BottomUp";
    case webcam::kernels::YUY2:
        return "YUY2";
    default:
        return "layout" + std::to_string(layout);
    }
}

// The reading order of the reference conversion that each packed RGB frame type
// documents (frame_converter.h); YUY2 has its own reference.
struct ReadingOrder {
    bool hasAlpha, bgrOrder, readForward, mirrorColumns;
};

ReadingOrder readingOrderOf(Layout layout) {
    switch (layout) {
    case webcam::kernels::BGRA32_TOP_DOWN:
        return {true, true, true, false};
    case webcam::kernels::RGB24_TOP_DOWN:
        return {false, false, true, false};
    case webcam::kernels::RGB24_BOTTOM_UP:
        return {false, false, false, true};
    default:
        ADD_FAILURE() << "no reading order for " << nameOf(layout);
        return {};
    }
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

// The bytes a frame of the layout takes (YUY2: whole groups of two pixels).
std::size_t inputBytes(Layout layout, const Shape& shape) {
    const std::size_t pixels = shape.height * shape.width;
    if (layout == webcam::kernels::YUY2)
        return 4 * ((pixels + 1) / 2);
    return pixels * (readingOrderOf(layout).hasAlpha ? 4 : 3);
}

std::vector<std::uint8_t> reference(Layout layout, const std::vector<std::uint8_t>& input,
                                    const Shape& shape) {
    std::vector<std::uint8_t> out(3 * shape.height * shape.width);
    if (layout == webcam::kernels::YUY2) {
        webcam::reference::yuy2ToPlanar(input.data(), shape.height, shape.width, out.data());
        return out;
    }
    const ReadingOrder o = readingOrderOf(layout);
    webcam::reference::convert(input.data(), shape.height, shape.width, o.hasAlpha ? 4 : 3,
                               o.hasAlpha, o.bgrOrder, o.readForward, o.mirrorColumns, out.data());
    return out;
}

class KernelTableTest : public testing::TestWithParam<std::tuple<const KernelSet*, Layout>> {
protected:
    const KernelSet& kernels() const { return *std::get<0>(GetParam()); }
    Layout layout() const { return std::get<1>(GetParam()); }
};

// Input against one guard page and output against another, at both edges, so that
// overreads at either end (rows read top-down or bottom-up) are caught.
TEST_P(KernelTableTest, MatchesReference) {
    const auto kernel = kernels().toPlanar[layout()];
    ASSERT_NE(nullptr, kernel);
    std::uint32_t seed = 1;
    for (const Shape& shape : shapesToCompare()) {
        for (const auto edge : {GuardedBytes::Edge::End, GuardedBytes::Edge::Start}) {
            const auto input = randomBytes(inputBytes(layout(), shape), seed++);
            GuardedBytes source(input.size(), edge);
            source.fill(input);
            GuardedBytes output(3 * shape.height * shape.width, edge);
            kernel(source.data(), shape.height, shape.width, output.data());
            const auto expected = reference(layout(), input, shape);
            ASSERT_EQ("", firstDifference(expected.data(), output.data(), shape)) << shape;
            // The input is only read.
            ASSERT_EQ(input, source.copy()) << shape;
        }
    }
}

std::string
kernelTableName(const testing::TestParamInfo<std::tuple<const KernelSet*, Layout>>& info) {
    return std::string(std::get<0>(info.param)->name) + "_" + nameOf(std::get<1>(info.param));
}

INSTANTIATE_TEST_SUITE_P(Supported, KernelTableTest,
                         testing::Combine(testing::ValuesIn(webcam::kernels::supportedKernels()),
                                          testing::ValuesIn(allLayouts())),
                         kernelTableName);

class KernelSetTest : public testing::TestWithParam<const KernelSet*> {
protected:
    const KernelSet& kernels() const { return *GetParam(); }
};

// Extreme samples: every clamp of the colour equations, in every lane.
TEST_P(KernelSetTest, Yuy2ExtremesMatchReference) {
    const Shape shape{32, 64};
    const std::uint8_t extremes[] = {0, 1, 15, 16, 17, 127, 128, 129, 235, 240, 254, 255};
    std::vector<std::uint8_t> input(inputBytes(webcam::kernels::YUY2, shape));
    std::size_t k = 0;
    for (std::size_t i = 0; i < input.size(); ++i, k = k * 7 + 3)
        input[i] = extremes[k % sizeof extremes];
    std::vector<std::uint8_t> output(3 * shape.height * shape.width);
    kernels().toPlanar[webcam::kernels::YUY2](input.data(), shape.height, shape.width,
                                              output.data());
    const auto expected = reference(webcam::kernels::YUY2, input, shape);
    EXPECT_EQ("", firstDifference(expected.data(), output.data(), shape));
}

std::string kernelSetName(const testing::TestParamInfo<const KernelSet*>& info) {
    return info.param->name;
}

INSTANTIATE_TEST_SUITE_P(Supported, KernelSetTest,
                         testing::ValuesIn(webcam::kernels::supportedKernels()), kernelSetName);

// Every layout on a large frame, the reference computed once per layout and
// compared with every kernel set.
void expectEveryKernelSetMatchesReference(const Shape& shape, std::uint32_t seed) {
    std::vector<std::uint8_t> output(3 * shape.height * shape.width);
    for (const Layout layout : allLayouts()) {
        const auto input = randomBytes(inputBytes(layout, shape), seed++);
        const auto expected = reference(layout, input, shape);
        for (const KernelSet* kernels : webcam::kernels::supportedKernels()) {
            std::memset(output.data(), 0, output.size());
            kernels->toPlanar[layout](input.data(), shape.height, shape.width, output.data());
            EXPECT_EQ("", firstDifference(expected.data(), output.data(), shape))
                << kernels->name << ", " << nameOf(layout) << ", " << shape;
        }
    }
}

// Full camera frames.
TEST(KernelSets, FourKFramesMatchReference) {
    expectEveryKernelSetMatchesReference({2160, 3840}, 4000);
}

// Frames too large to stay in cache take other blocks in the 256-bit kernels; an
// odd size that is no multiple of any block or tile.
TEST(KernelSets, LargeOddFramesMatchReference) {
    expectEveryKernelSetMatchesReference({1201, 2403}, 5000);
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

} // namespace
