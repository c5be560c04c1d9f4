#include "conduit/kit/scalar_property.h"
#include "conduit/kit/ustring.h"
#include "host/channel.h"
#include "host/contract/failures.h"
#include "host/i18n/ustring_conversion.h"
#include "host/plugin_loader.h"
#include "host/property_list.h"
#include "webcam/frame_reference.h"
#include "webcam/video_data_buffer.h"

#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

// The filter as the host uses it: the built plug-in loaded with the platform
// loader, created through createFilter on a channel, configured with UTF-16
// options, handed frames.

namespace {

using conduit::interfaces::IDataBuffer;
using korvex::host::Options;
using webcam::VideoDataBuffer;
using Bytes = std::vector<std::uint8_t>;

// A frame that counts how often it is released. Its destroy may also throw (after
// freeing itself), as a misbehaving frame could.
class TrackedFrame : public VideoDataBuffer {
public:
    TrackedFrame(const Bytes& bytes, std::size_t rows, std::size_t columns, std::size_t pixelBytes,
                 int& releases, bool throwOnDestroy = false)
        : VideoDataBuffer(copyOf(bytes), bytes.size(), rows, columns, pixelBytes),
          releases_(releases), throwOnDestroy_(throwOnDestroy) {}

    void destroy() override {
        ++releases_;
        const bool fail = throwOnDestroy_;
        VideoDataBuffer::destroy();
        if (fail)
            throw std::runtime_error("destroy failed");
    }

private:
    static std::uint8_t* copyOf(const Bytes& bytes) {
        auto* data = new std::uint8_t[bytes.size()];
        std::copy(bytes.begin(), bytes.end(), data);
        return data;
    }
    int& releases_;
    bool throwOnDestroy_;
};

// A data buffer of another kind.
class ForeignBuffer : public IDataBuffer {
public:
    explicit ForeignBuffer(int& releases) : releases_(releases) {}
    std::size_t getCount() const override { return 1; }
    void destroy() override {
        ++releases_;
        delete this;
    }

private:
    int& releases_;
};

Bytes randomBytes(std::size_t count, unsigned seed) {
    std::mt19937 generator(seed);
    Bytes bytes(count);
    for (auto& byte : bytes)
        byte = static_cast<std::uint8_t>(generator());
    return bytes;
}

struct Released {
    void operator()(IDataBuffer* buffer) const { conduit::kit::release(buffer); }
};
using ResultPtr = std::unique_ptr<IDataBuffer, Released>;

class PixsieveFilter : public testing::Test {
protected:
    // The library outlives everything it made.
    korvex::host::PluginLibrary library{korvex::host::pluginPath("pixsieve")};
    korvex::host::Channel channel;
    korvex::host::FilterPtr filter = library.createFilter(channel);

    // Runs init with the two options as the host's UTF-16 strings; null leaves an
    // option out.
    void configure(const char* input, const char* output) {
        Options options;
        if (input != nullptr)
            options.set("InputFrameType", korvex::i18n::widen(input));
        if (output != nullptr)
            options.set("OutputFrameType", korvex::i18n::widen(output));
        filter->init(options);
    }
};

TEST_F(PixsieveFilter, EqualTypesPassTheSameFrameThrough) {
    const char* const names[] = {"RGB24PlanarColumn", "BGRA32PackedRowTopDown",
                                 "YUY2PackedRowBottomUp", "NotAFrameType"};
    for (const char* name : names) {
        configure(name, name);
        int releases = 0;
        auto* frame = new TrackedFrame(randomBytes(12, 1), 2, 2, 3, releases);
        IDataBuffer* result = filter->filter(frame);
        EXPECT_EQ(frame, result) << name;
        EXPECT_EQ(0, releases) << name;
        conduit::kit::release(result);
        EXPECT_EQ(1, releases) << name;
    }
}

// Without init, and with both options missing, both types are unset: equal.
TEST_F(PixsieveFilter, UnsetTypesPassFramesThrough) {
    for (const bool initialise : {false, true}) {
        if (initialise)
            configure(nullptr, nullptr);
        int releases = 0;
        auto* frame = new TrackedFrame(randomBytes(16, 2), 2, 2, 4, releases);
        IDataBuffer* result = filter->filter(frame);
        EXPECT_EQ(frame, result);
        EXPECT_EQ(0, releases);
        conduit::kit::release(result);
    }
}

struct PairCase {
    const char* input;
    std::size_t bytesPerPixel;
    bool hasAlpha, bgrOrder, readForward, mirrorColumns; // the reference's reading order
};

// Each supported pair gives the reference's bytes, and the input is released once.
TEST_F(PixsieveFilter, SupportedPairsConvertAndReleaseTheInput) {
    const PairCase cases[] = {
        {"BGRA32PackedRowTopDown", 4, true, true, true, false},
        {"RGB24PackedRowTopDown", 3, false, false, true, false},
        {"RGB24PackedRowBottomUp", 3, false, false, false, true},
        {"YUY2PackedRowBottomUp", 2, false, false, false, false},
    };
    const std::size_t height = 37, width = 54;
    unsigned seed = 10;
    for (const PairCase& c : cases) {
        configure(c.input, "RGB24PlanarColumn");
        const Bytes input = randomBytes(height * width * c.bytesPerPixel, seed++);
        Bytes expected(3 * height * width);
        if (c.bytesPerPixel == 2)
            webcam::reference::yuy2ToPlanar(input.data(), height, width, expected.data());
        else
            webcam::reference::convert(input.data(), height, width, c.bytesPerPixel, c.hasAlpha,
                                       c.bgrOrder, c.readForward, c.mirrorColumns, expected.data());
        int releases = 0;
        ResultPtr result(
            filter->filter(new TrackedFrame(input, height, width, c.bytesPerPixel, releases)));
        EXPECT_EQ(1, releases) << c.input;
        const auto* planar = dynamic_cast<const VideoDataBuffer*>(result.get());
        ASSERT_NE(nullptr, planar) << c.input;
        EXPECT_EQ(height, planar->height);
        EXPECT_EQ(width, planar->width);
        EXPECT_EQ(3u, planar->bytesPerPixel);
        ASSERT_EQ(expected.size(), planar->size) << c.input;
        EXPECT_EQ(expected, Bytes(planar->data, planar->data + planar->size)) << c.input;
    }
}

// Differing pairs without a conversion (including names that are not in the
// table, which count as no type) give null and release the input.
TEST_F(PixsieveFilter, OtherPairsGiveNullAndReleaseTheInput) {
    const struct {
        const char* input;
        const char* output;
    } pairs[] = {
        {"RGB24PlanarColumn", "BGRA32PackedRowTopDown"},
        {"BGRA32PackedRowTopDown", "RGB24PackedRowTopDown"},
        {"YUY2PackedRowBottomUp", "RGB24PackedRowBottomUp"},
        {"bgra32packedrowtopdown", "RGB24PlanarColumn"}, // differs only in case: no type
        {"BGRA32PackedRowTopDown", "rgb24planarcolumn"},
        {"BGRA32PackedRowTopDown", nullptr}, // output option missing
        {nullptr, "RGB24PlanarColumn"},
        {"BGRA32PackedRowTopDown", "RGB24PlanarColumn\xC3\xA9"},
    };
    for (const auto& pair : pairs) {
        configure(pair.input, pair.output);
        int releases = 0;
        IDataBuffer* result =
            filter->filter(new TrackedFrame(randomBytes(48, 3), 2, 4, 4, releases));
        EXPECT_EQ(nullptr, result)
            << (pair.input ? pair.input : "-") << " -> " << (pair.output ? pair.output : "-");
        EXPECT_EQ(1, releases);
        conduit::kit::release(result);
    }
}

TEST_F(PixsieveFilter, NullFrameGivesNull) {
    configure("BGRA32PackedRowTopDown", "RGB24PlanarColumn");
    EXPECT_EQ(nullptr, filter->filter(nullptr));
    configure("RGB24PlanarColumn", "BGRA32PackedRowTopDown");
    EXPECT_EQ(nullptr, filter->filter(nullptr));
}

// Frames the conversion refuses: released, and null handed on.
TEST_F(PixsieveFilter, ForeignAndMalformedFramesAreReleased) {
    configure("BGRA32PackedRowTopDown", "RGB24PlanarColumn");
    int releases = 0;
    EXPECT_EQ(nullptr, filter->filter(new ForeignBuffer(releases)));
    EXPECT_EQ(1, releases);
    releases = 0;
    EXPECT_EQ(nullptr, filter->filter(new TrackedFrame(randomBytes(47, 4), 2, 6, 4, releases)));
    EXPECT_EQ(1, releases);
}

// An exception from the input frame's destroy stays inside the filter.
TEST_F(PixsieveFilter, ThrowingDestroyIsIgnored) {
    configure("RGB24PackedRowTopDown", "RGB24PlanarColumn");
    int releases = 0;
    ResultPtr result;
    EXPECT_NO_THROW(result.reset(
        filter->filter(new TrackedFrame(randomBytes(18, 5), 2, 3, 3, releases, true))));
    EXPECT_EQ(1, releases);
    EXPECT_NE(nullptr, result);
}

// Options of another type than the host's UTF-16 string count as missing; only
// the first option of a name is read.
TEST_F(PixsieveFilter, OptionsOfOtherTypesCountAsMissing) {
    Options options;
    options.set("InputFrameType", "BGRA32PackedRowTopDown"); // narrow string
    options.set("OutputFrameType", korvex::i18n::widen("RGB24PlanarColumn"));
    options.set("InputFrameType", korvex::i18n::widen("RGB24PlanarColumn"));
    filter->init(options);
    int releases = 0;
    // Input: no type (the first "InputFrameType" is not UTF-16); output: planar.
    EXPECT_EQ(nullptr, filter->filter(new TrackedFrame(randomBytes(16, 6), 2, 2, 4, releases)));
    EXPECT_EQ(1, releases);
}

// An option that throws when it is read leaves both types unset, as missing options
// do: frames pass through again, and the filter reports nothing.
TEST_F(PixsieveFilter, AnOptionThatThrowsCountsAsMissing) {
    for (const auto& failure : korvex::host::contract::everyKindOfFailure()) {
        SCOPED_TRACE(failure.label);
        configure("RGB24PackedRowTopDown", "RGB24PlanarColumn");
        Options options;
        options.set("InputFrameType", korvex::i18n::widen("BGRA32PackedRowTopDown"));
        options.add(new korvex::host::contract::UnreadableOption(failure.raise));
        EXPECT_NO_THROW(filter->init(options));
        int releases = 0;
        auto* frame = new TrackedFrame(randomBytes(18, 9), 3, 2, 3, releases);
        ResultPtr same(filter->filter(frame));
        EXPECT_EQ(frame, same.get());
        EXPECT_EQ(0, releases);
    }
    EXPECT_TRUE(channel.messages().empty());
}

// open and close change nothing; a second init takes the new options.
TEST_F(PixsieveFilter, OpenCloseKeepAndInitReplacesTheTypes) {
    configure("RGB24PackedRowTopDown", "RGB24PlanarColumn");
    Options none;
    filter->open(none);
    int releases = 0;
    ResultPtr converted(filter->filter(new TrackedFrame(randomBytes(18, 7), 3, 2, 3, releases)));
    EXPECT_NE(nullptr, converted);
    filter->close();
    filter->open(none);
    configure("RGB24PackedRowTopDown", "RGB24PackedRowTopDown");
    auto* frame = new TrackedFrame(randomBytes(18, 8), 3, 2, 3, releases);
    ResultPtr same(filter->filter(frame));
    EXPECT_EQ(frame, same.get());
    filter->close();
}

} // namespace
