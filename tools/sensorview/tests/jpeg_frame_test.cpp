// Frames encoded as JPEG decode back, with libjpeg-turbo's decoder, to the frame's
// size and, within JPEG's loss, to its colours.

#include "tools/sensorview/jpeg_frame.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <turbojpeg.h>
#include <vector>

namespace {

struct Decoded {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;
};

Decoded decode(const std::string& jpeg) {
    Decoded decoded;
    tjhandle handle = tjInitDecompress();
    int subsampling = 0;
    int colourspace = 0;
    const auto* bytes = reinterpret_cast<const unsigned char*>(jpeg.data());
    if (tjDecompressHeader3(handle, bytes, jpeg.size(), &decoded.width, &decoded.height,
                            &subsampling, &colourspace) == 0) {
        decoded.rgb.resize(static_cast<std::size_t>(decoded.width * decoded.height * 3));
        if (tjDecompress2(handle, bytes, jpeg.size(), decoded.rgb.data(), decoded.width, 0,
                          decoded.height, TJPF_RGB, 0) != 0)
            decoded.rgb.clear();
    }
    tjDestroy(handle);
    return decoded;
}

class JpegSizes : public ::testing::TestWithParam<std::pair<std::size_t, std::size_t>> {};

TEST_P(JpegSizes, DecodesToTheFramesSizeAndColours) {
    const auto [height, width] = GetParam();
    // Four flat quadrants: red, green, blue, grey.
    std::vector<std::uint8_t> rows(height * width * 3);
    for (std::size_t r = 0; r < height; ++r) {
        for (std::size_t c = 0; c < width; ++c) {
            const int quadrant = (r < height / 2 ? 0 : 2) + (c < width / 2 ? 0 : 1);
            const std::uint8_t colours[4][3] = {
                {220, 20, 20}, {20, 220, 20}, {20, 20, 220}, {128, 128, 128}};
            for (int k = 0; k < 3; ++k)
                rows[(r * width + c) * 3 + static_cast<std::size_t>(k)] = colours[quadrant][k];
        }
    }
    sensorview::JpegEncoder encoder;
    const auto decoded = decode(encoder.encode(rows.data(), height, width));
    ASSERT_EQ(static_cast<int>(width), decoded.width);
    ASSERT_EQ(static_cast<int>(height), decoded.height);
    ASSERT_EQ(rows.size(), decoded.rgb.size());
    // The centre of each quadrant keeps its colour within JPEG's loss.
    for (const auto& [r, c] :
         {std::pair{height / 4, width / 4}, std::pair{height / 4, 3 * width / 4},
          std::pair{3 * height / 4, width / 4}, std::pair{3 * height / 4, 3 * width / 4}}) {
        for (std::size_t k = 0; k < 3; ++k) {
            const std::size_t at = (r * width + c) * 3 + k;
            EXPECT_NEAR(rows[at], decoded.rgb[at], 12) << r << "," << c << " channel " << k;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Shapes, JpegSizes,
                         ::testing::Values(std::pair<std::size_t, std::size_t>{480, 640},
                                           std::pair<std::size_t, std::size_t>{33, 17},
                                           std::pair<std::size_t, std::size_t>{96, 130}));

TEST(JpegEncoder, RefusesNoFrame) {
    sensorview::JpegEncoder encoder;
    std::uint8_t pixel[3] = {};
    EXPECT_THROW(encoder.encode(nullptr, 1, 1), std::runtime_error);
    EXPECT_THROW(encoder.encode(pixel, 0, 1), std::runtime_error);
    EXPECT_THROW(encoder.encode(pixel, 1, 0), std::runtime_error);
}

} // namespace
