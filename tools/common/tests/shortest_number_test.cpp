#include "tools/common/shortest_number.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <string>

namespace {

std::string shortest(double value) {
    char text[32];
    return std::string(text, kxtools::writeShortestNumber(value, text));
}

std::string standard(double value) {
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

double fromBits(std::uint64_t bits) {
    double value = 0.0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

TEST(ShortestNumber, ChoosesPlainOrScientificAsTheStandardDoes) {
    // Where the two layouts are the same length, and where one is a character
    // shorter, on both sides of the point; zeros of both signs; the extremes.
    for (const double value : {0.0,
                               -0.0,
                               1.0,
                               -1.0,
                               0.5,
                               0.1 + 0.2,
                               1e-3,
                               1e-4,
                               1.5e-4,
                               0.00012,
                               1e-5,
                               123456.0,
                               1e5,
                               1.2e5,
                               1e15,
                               1.5e15,
                               1e16,
                               1e21,
                               1e22,
                               1e23,
                               9007199254740993.0,
                               1e100,
                               1.25e-100,
                               1e-7,
                               -47.3772431,
                               16333.446621,
                               5e-324,
                               std::numeric_limits<double>::min(),
                               std::numeric_limits<double>::max(),
                               std::numeric_limits<double>::lowest()})
        EXPECT_EQ(standard(value), shortest(value)) << value;
}

TEST(ShortestNumber, MatchesTheStandardForAnyFiniteDouble) {
    std::mt19937_64 random(20261209);
    // Any bit pattern: every exponent, subnormals included.
    for (int i = 0; i < 300000; ++i) {
        const double value = fromBits(random());
        if (!std::isfinite(value))
            continue;
        ASSERT_EQ(standard(value), shortest(value)) << std::hexfloat << value;
    }
    // Numbers as sensors give them: a few decimals, whole numbers with trailing
    // zeros, at every scale where a layout could change.
    std::uniform_int_distribution<std::int64_t> significands(-99999999, 99999999);
    std::uniform_int_distribution<int> powers(-30, 30);
    for (int i = 0; i < 300000; ++i) {
        const double value =
            static_cast<double>(significands(random)) * std::pow(10.0, powers(random));
        ASSERT_EQ(standard(value), shortest(value)) << value;
    }
}

} // namespace
