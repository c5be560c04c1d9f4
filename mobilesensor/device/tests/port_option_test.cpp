#include "mobilesensor/device/port_option.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <optional>

namespace {

using mobilesensor::portOptionValue;

TEST(PortOption, TruncatesTowardZeroAndRefusesWhatNamesNoPort) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    const struct {
        double value;
        std::optional<std::uint16_t> port;
    } cases[] = {
        {0.0, 0},
        {50001.7, 50001},
        {65535.0, 65535},
        {65535.9, 65535},
        {-0.9, 0},
        {-0.5, 0},
        {-0.0, 0},
        {std::nextafter(-1.0, 0.0), 0},
        {65536.0, std::nullopt},
        {-1.0, std::nullopt},
        {-1.5, std::nullopt},
        {1e300, std::nullopt},
        {inf, std::nullopt},
        {-inf, std::nullopt},
        // NaN passes the range check and asks for the automatic choice.
        {std::numeric_limits<double>::quiet_NaN(), 0},
        {-std::numeric_limits<double>::quiet_NaN(), 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.port, portOptionValue(c.value)) << c.value;
}

} // namespace
