#include "mobilesensor/port_number.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <optional>

namespace {

using mobilesensor::portFromDouble;

struct Case {
    double value;
    std::optional<std::uint16_t> port;
};

class PortFromDouble : public ::testing::TestWithParam<Case> {};

TEST_P(PortFromDouble, TruncatesTowardZeroAndRefusesWhatNamesNoPort) {
    EXPECT_EQ(GetParam().port, portFromDouble(GetParam().value)) << GetParam().value;
}

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double INF = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Values, PortFromDouble,
    ::testing::Values(Case{0.0, 0}, Case{-0.0, 0}, Case{50001.7, 50001}, Case{65535.0, 65535},
                      Case{65535.9, 65535}, Case{65535.99, 65535}, Case{-0.5, 0}, Case{-0.9, 0},
                      Case{-0.999, 0}, Case{std::nextafter(-1.0, 0.0), 0},
                      // no port: the conversion itself would be undefined for most of these
                      Case{-1.0, std::nullopt}, Case{-1.0000001, std::nullopt},
                      Case{-1.5, std::nullopt}, Case{65536.0, std::nullopt},
                      Case{1e300, std::nullopt}, Case{-1e300, std::nullopt},
                      Case{INF, std::nullopt}, Case{-INF, std::nullopt},
                      // NaN passes the range check and asks for the automatic choice.
                      Case{NaN, 0}, Case{-NaN, 0}));

} // namespace
