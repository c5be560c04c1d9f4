#include "png_reader.h"
#include "tools/camgrab/camgrab_options.h"
#include "tools/camgrab/png_frame.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using camgrab::planarColumnToRgbRows;
using camgrab::writeRgbPng;
using camgrab::testing::readPng;
using camgrab::testing::readPngTexts;

struct TemporaryFile {
    std::string path;
    explicit TemporaryFile(const std::string& name)
        : path(::testing::TempDir() + "camgrab_" + std::to_string(::getpid()) + "_" + name) {}
    ~TemporaryFile() { std::remove(path.c_str()); }
};

TEST(PlanarColumnToRgbRows, TakesEachPlaneColumnByColumn) {
    // 2 rows, 3 columns. Plane R holds 10..15, G 20..25, B 30..35, each in column
    // order: (0,0), (1,0), (0,1), (1,1), (0,2), (1,2).
    const std::vector<std::uint8_t> planar = {10, 11, 12, 13, 14, 15, 20, 21, 22,
                                              23, 24, 25, 30, 31, 32, 33, 34, 35};
    const std::vector<std::uint8_t> rows = {
        10, 20, 30, 12, 22, 32, 14, 24, 34, // row 0: columns 0, 1, 2
        11, 21, 31, 13, 23, 33, 15, 25, 35, // row 1
    };
    EXPECT_EQ(rows, planarColumnToRgbRows(planar.data(), 2, 3));
}

TEST(PlanarColumnToRgbRows, AgreesWithTheLayoutFormulaOnOddSizes) {
    std::mt19937 random(7);
    for (const auto& [height, width] :
         {std::pair<std::size_t, std::size_t>{1, 1}, {1, 9}, {9, 1}, {7, 13}, {480, 640}}) {
        const std::size_t n = height * width;
        std::vector<std::uint8_t> planar(3 * n);
        for (auto& byte : planar)
            byte = static_cast<std::uint8_t>(random());
        const auto rows = planarColumnToRgbRows(planar.data(), height, width);
        ASSERT_EQ(3 * n, rows.size());
        for (std::size_t r = 0; r < height; ++r)
            for (std::size_t c = 0; c < width; ++c)
                for (std::size_t p = 0; p < 3; ++p)
                    ASSERT_EQ(planar[p * n + c * height + r], rows[(r * width + c) * 3 + p])
                        << height << "x" << width << " at " << r << ", " << c << " plane " << p;
    }
}

TEST(WriteRgbPng, WritesAFileThatDecodesToTheSamePixels) {
    std::mt19937 random(3);
    const std::size_t height = 37;
    const std::size_t width = 53;
    std::vector<std::uint8_t> rows(height * width * 3);
    for (auto& byte : rows)
        byte = static_cast<std::uint8_t>(random());
    TemporaryFile file("round_trip.png");
    writeRgbPng(file.path, rows, height, width);
    const auto decoded = readPng(file.path);
    EXPECT_EQ(width, decoded.width);
    EXPECT_EQ(height, decoded.height);
    EXPECT_EQ(3u, decoded.channels) << "an RGB file, no alpha";
    EXPECT_EQ(rows, decoded.rgb);
}

TEST(WriteRgbPng, TextChunksGoWithThePixels) {
    const std::vector<std::uint8_t> rows = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    TemporaryFile file("texts.png");
    writeRgbPng(file.path, rows, 2, 2, {{"Monotonic", "15388.848791"}, {"Source", "videotestsrc"}});
    const std::map<std::string, std::string> expected = {{"Monotonic", "15388.848791"},
                                                         {"Source", "videotestsrc"}};
    EXPECT_EQ(expected, readPngTexts(file.path));
    EXPECT_EQ(rows, readPng(file.path).rgb);

    TemporaryFile plain("no_texts.png");
    writeRgbPng(plain.path, rows, 2, 2);
    EXPECT_TRUE(readPngTexts(plain.path).empty());
    EXPECT_EQ(rows, readPng(plain.path).rgb);
}

TEST(WriteRgbPng, KeywordsPngCannotHoldAreRefused) {
    const std::vector<std::uint8_t> pixel = {1, 2, 3};
    TemporaryFile file("bad_keyword.png");
    for (const std::string& keyword : {std::string(), std::string(80, 'k'), std::string("a\nb")})
        EXPECT_THROW(writeRgbPng(file.path, pixel, 1, 1, {{keyword, "text"}}), std::runtime_error)
            << keyword;
    EXPECT_THROW(writeRgbPng(file.path, pixel, 1, 1, {{"Key", std::string("a\0b", 3)}}),
                 std::runtime_error);
}

TEST(WriteRgbPng, FailuresNameTheFile) {
    const std::vector<std::uint8_t> pixel = {1, 2, 3};
    try {
        writeRgbPng("/nonexistent/folder/frame.png", pixel, 1, 1);
        FAIL() << "no error";
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(0u,
                  std::string(error.what()).find("cannot write '/nonexistent/folder/frame.png': "))
            << error.what();
    }
    EXPECT_THROW(writeRgbPng("x.png", pixel, 2, 1), std::runtime_error) << "too few bytes";
    EXPECT_THROW(writeRgbPng("x.png", {}, 0, 0), std::runtime_error) << "no pixels";
}

TEST(CamgrabOptions, FileNamesAreNumberedFromOne) {
    camgrab::Settings settings;
    EXPECT_EQ("./frame-0001.png", camgrab::frameFileName(settings, 1));
    settings.folder = "demo-output/";
    settings.prefix = "desk";
    EXPECT_EQ("demo-output/desk-0012.png", camgrab::frameFileName(settings, 12));
    settings.folder = "out";
    EXPECT_EQ("out/desk-12345.png", camgrab::frameFileName(settings, 12345));
}

} // namespace
