#include "tools/sensorstream/output_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>

namespace {

using sensorstream::OutputFile;

TEST(OutputFile, NoPathIsStandardOutput) {
    OutputFile output("");
    EXPECT_FALSE(output.isFile());
    EXPECT_EQ(stdout, output.stream());
    EXPECT_EQ("standard output", output.name());
    EXPECT_NO_THROW(output.close());
}

TEST(OutputFile, APathThatCannotBeWrittenFailsAtOnce) {
    try {
        OutputFile output("/nonexistent/readings.json");
        FAIL() << "opened";
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(0, std::string(error.what()).find("cannot write '/nonexistent/readings.json': "))
            << error.what();
    }
}

// The C library holds writes back: a full disk shows only when the file closes, and
// that failure must not go unreported.
TEST(OutputFile, AFailureAtCloseIsReported) {
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    OutputFile output("/dev/full");
    EXPECT_TRUE(output.isFile());
    EXPECT_EQ("'/dev/full'", output.name());
    ASSERT_EQ(1u, std::fwrite("x", 1, 1, output.stream())) << "held back, not written yet";
    try {
        output.close();
        FAIL() << "closed without an error";
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(std::string("cannot write '/dev/full': ") + std::strerror(ENOSPC), error.what());
    }
}

} // namespace
