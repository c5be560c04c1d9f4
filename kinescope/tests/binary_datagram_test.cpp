#include "kinescope/binary_datagram.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <vector>

namespace {

using namespace kinescope;

TEST(BinaryDatagram, LengthsPerType) {
    EXPECT_EQ(64u, recordLength(RECORD_HEADING));
    EXPECT_EQ(40u, recordLength(RECORD_ACCELERATION));
    EXPECT_EQ(40u, recordLength(RECORD_ROTATION_RATE));
    EXPECT_EQ(72u, recordLength(RECORD_LOCATION));
    EXPECT_EQ(0u, recordLength(0x50));
    EXPECT_EQ(0u, recordLength(0x00));
}

TEST(BinaryDatagram, TypeNeedsEightBytes) {
    std::uint8_t bytes[8] = {0, 0, 0, 0, 0, 0, 0, RECORD_ACCELERATION};
    EXPECT_EQ(RECORD_ACCELERATION, recordType(bytes, 8));
    EXPECT_EQ(0, recordType(bytes, 7));
    EXPECT_EQ(0, recordType(nullptr, 8));
}

TEST(BinaryDatagram, DoublesAreLittleEndianAtAnyAlignment) {
    // 1.0 is 0x3FF0000000000000; little-endian puts 0xF0 0x3F last.
    const std::uint8_t one[] = {0, 0, 0, 0, 0, 0, 0xF0, 0x3F};
    std::vector<std::uint8_t> bytes(3 + 8);
    std::memcpy(bytes.data() + 3, one, 8); // deliberately misaligned
    EXPECT_EQ(1.0, readDouble(bytes.data(), 3));

    // -4.905 and the specials round-trip through their byte patterns.
    for (const double value : {-4.905, 0.0, -0.0, 9.81e300, std::numeric_limits<double>::infinity(),
                               std::numeric_limits<double>::denorm_min()}) {
        std::uint64_t bits;
        std::memcpy(&bits, &value, 8);
        std::uint8_t encoded[9];
        for (int i = 0; i < 8; ++i)
            encoded[1 + i] = static_cast<std::uint8_t>(bits >> (8 * i));
        const double decoded = readDouble(encoded, 1);
        EXPECT_EQ(0, std::memcmp(&value, &decoded, 8)) << value;
    }
}

} // namespace
