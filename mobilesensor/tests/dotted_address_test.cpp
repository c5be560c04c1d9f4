#include "mobilesensor/dotted_address.h"

#include <boost/system/system_error.hpp>
#include <gtest/gtest.h>

namespace {

using mobilesensor::formatDottedAddress;
using mobilesensor::parseTableAddress;

TEST(DottedAddress, FormatsOctetsInNetworkOrderAsDecimal) {
    EXPECT_EQ("192.168.1.10", formatDottedAddress({192, 168, 1, 10}));
    EXPECT_EQ("0.0.0.0", formatDottedAddress({0, 0, 0, 0}));
    EXPECT_EQ("255.255.255.255", formatDottedAddress({255, 255, 255, 255}));
}

struct Parsed {
    const char* text;
    const char* dotted;
};

class TableAddress : public ::testing::TestWithParam<Parsed> {};

TEST_P(TableAddress, ReadsDecimalOctets) {
    EXPECT_EQ(GetParam().dotted,
              formatDottedAddress(parseTableAddress(GetParam().text).to_bytes()));
}

INSTANTIATE_TEST_SUITE_P(Texts, TableAddress,
                         ::testing::Values(Parsed{"10.0.0.5", "10.0.0.5"},
                                           // leading zeros are decimal, not octal
                                           Parsed{"192.168.001.010", "192.168.1.10"},
                                           Parsed{"000.000.000.000", "0.0.0.0"},
                                           Parsed{"255.255.255.0", "255.255.255.0"},
                                           Parsed{"010.008.009.099", "10.8.9.99"}));

class BadTableAddress : public ::testing::TestWithParam<const char*> {};

TEST_P(BadTableAddress, ThrowsASystemError) {
    EXPECT_THROW(parseTableAddress(GetParam()), boost::system::system_error);
}

// Shorthand, hexadecimal and out-of-range forms are refused on every platform alike.
INSTANTIATE_TEST_SUITE_P(Texts, BadTableAddress,
                         ::testing::Values("", "10.1", "1.2.3", "1.2.3.4.5", "1..2.3", "256.1.1.1",
                                           "1.2.3.4 ", " 1.2.3.4", "0x0a.0.0.1", "1.2.3.0004",
                                           "1.2.3.-4", "fe80::1", "abc"));

} // namespace
