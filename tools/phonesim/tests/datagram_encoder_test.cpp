#include "tools/phonesim/datagram_encoder.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <vector>

namespace {

using namespace phonesim;

std::string asText(const std::vector<std::uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

double doubleAt(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
    std::uint64_t bits = 0;
    for (std::size_t i = 0; i < 8; ++i)
        bits |= static_cast<std::uint64_t>(bytes.at(offset + i)) << (8 * i);
    double value;
    std::memcpy(&value, &bits, 8);
    return value;
}

Reading reading(Kind kind, std::uint64_t sequence, std::int64_t phoneTimeMs,
                std::initializer_list<double> values) {
    Reading r;
    r.kind = kind;
    r.sequence = sequence;
    r.phoneTimeMs = phoneTimeMs;
    std::size_t i = 0;
    for (const double v : values)
        r.values[i++] = v;
    return r;
}

TEST(DatagramEncoder, TextValuesAreShortestFixedPointThatReadsBack) {
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {0.5, "0.5"},
        {-9.81, "-9.81"},
        {0.0, "0"},
        {-0.0, "-0"},
        {0.1 + 0.2, "0.30000000000000004"}, // not rounded to look nice: it must read back
        {1e-7, "0.0000001"},
        {47.3769123, "47.3769123"},
        {1704067200000.0, "1704067200000"},
        {3e7, "30000000"}, // never "3e+07"
        {std::numeric_limits<double>::quiet_NaN(), "nan"},
        {-std::numeric_limits<double>::infinity(), "-inf"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.text, formatTextValue(c.value)) << c.value;
    // The largest and the smallest doubles fit too.
    EXPECT_EQ(309u, formatTextValue(std::numeric_limits<double>::max()).size());
    EXPECT_EQ('5', formatTextValue(std::numeric_limits<double>::denorm_min()).back());
}

TEST(DatagramEncoder, TextLinesCarryTimeSequenceValuesAndTerminator) {
    const struct {
        Reading reading;
        const char* text;
    } cases[] = {
        {reading(Kind::TextAcceleration, 7, 1704067200000, {0.5, -9.81, 0.0}),
         "A,1704067200000,7,0.5,-9.81,0\n"},
        {reading(Kind::TextMagneticField, 0, 5, {30.0, 0.0, -45.25}), "M,5,0,30,0,-45.25\n"},
        {reading(Kind::TextOrientation, 1, 6, {359.99, -1.5, 2.0}), "O,6,1,359.99,-1.5,2\n"},
        {reading(Kind::TextFixG, 2, 1000, {408.25, 47.3769, 8.5417, 990.0, 5.5, 1.4}),
         "G,1000,2,408.25,47.3769,8.5417,990,5.5,1.4\n"},
        {reading(Kind::TextFixN, 3, 1500, {410.0, -33.9, 151.2, 1200.0, 25.0, 0.0}),
         "N,1500,3,410,-33.9,151.2,1200,25,0\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.text, asText(encodeDatagram(c.reading)));
}

TEST(DatagramEncoder, BinaryRecordsHaveTheAppsLayout) {
    const struct {
        Reading reading;
        std::size_t length;
        std::uint8_t type;
    } cases[] = {
        {reading(Kind::BinaryHeading, 0x01020304, 1500, {10, 7, 5, 30, -12, 48}), 64, 0x10},
        {reading(Kind::BinaryAcceleration, 0x1'0000'0005, 1500, {1.0, 0.0, -0.5}), 40, 0x20},
        {reading(Kind::BinaryRotationRate, 0, 1500, {0.1, -0.2, 0.3}), 40, 0x30},
        {reading(Kind::BinaryLocation, 9, 1500, {47.1, 8.5, 400, 5, 3, 270, 1.4}), 72, 0x40},
    };
    for (const auto& c : cases) {
        const auto bytes = encodeDatagram(c.reading);
        SCOPED_TRACE(kindName(c.reading.kind));
        ASSERT_EQ(c.length, bytes.size());
        EXPECT_EQ(c.type, bytes[7]);
        // The low 32 bits of the sequence number, little-endian, then three zeros.
        const std::uint32_t low = static_cast<std::uint32_t>(c.reading.sequence);
        for (std::size_t i = 0; i < 4; ++i)
            EXPECT_EQ(static_cast<std::uint8_t>(low >> (8 * i)), bytes[i]);
        EXPECT_EQ(0, bytes[4] | bytes[5] | bytes[6]);
        EXPECT_EQ(1.5, doubleAt(bytes, 8)); // the phone's clock in seconds
        for (std::size_t i = 0; i < valueCount(c.reading.kind); ++i)
            EXPECT_EQ(c.reading.values[i], doubleAt(bytes, 16 + 8 * i)) << i;
    }
    // 1.0 is 3FF0000000000000: its last two bytes come last in little-endian order.
    const auto one = encodeDatagram(reading(Kind::BinaryAcceleration, 0, 0, {1.0, 0, 0}));
    const std::uint8_t expected[8] = {0, 0, 0, 0, 0, 0, 0xF0, 0x3F};
    EXPECT_EQ(0, std::memcmp(expected, one.data() + 16, 8));
}

TEST(DatagramEncoder, ClassifiesBySameBytesAndLengthsAsTheDevices) {
    // The shortest datagrams the text device takes, and one byte less.
    const auto a = encodeDatagram(reading(Kind::TextAcceleration, 0, 10000, {0, 0, 0}));
    const auto shortA = encodeDatagram(reading(Kind::TextAcceleration, 0, 1000, {0, 0, 0}));
    const auto g = encodeDatagram(reading(Kind::TextFixG, 0, 1000, {0, 0, 0, 0, 0, 12345}));
    const auto shortG = encodeDatagram(reading(Kind::TextFixG, 0, 1000, {0, 0, 0, 0, 0, 1234}));
    ASSERT_EQ(16u, a.size());
    ASSERT_EQ(15u, shortA.size());
    ASSERT_EQ(25u, g.size());
    ASSERT_EQ(24u, shortG.size());
    const auto location = encodeDatagram(reading(Kind::BinaryLocation, 0, 0, {}));
    const std::uint8_t lowerCase[] = "a,1,2,3,4,5,6,7\n";
    const struct {
        App app;
        const std::uint8_t* data;
        std::size_t length;
        bool known;
        Kind kind;
    } cases[] = {
        {App::Text, a.data(), a.size(), true, Kind::TextAcceleration},
        {App::Text, shortA.data(), shortA.size(), false, Kind::TextAcceleration},
        {App::Text, g.data(), g.size(), true, Kind::TextFixG},
        {App::Text, shortG.data(), shortG.size(), false, Kind::TextFixG},
        {App::Text, lowerCase, sizeof lowerCase - 1, false, Kind::TextAcceleration},
        {App::Binary, a.data(), a.size(), false, Kind::TextAcceleration},
        {App::Binary, location.data(), location.size(), true, Kind::BinaryLocation},
        {App::Binary, location.data(), 71, false, Kind::BinaryLocation},
        {App::Text, location.data(), location.size(), false, Kind::BinaryLocation},
    };
    for (const auto& c : cases) {
        Kind kind = Kind::BinaryHeading;
        EXPECT_EQ(c.known, classifyDatagram(c.app, c.data, c.length, kind)) << c.length;
        if (c.known) {
            EXPECT_EQ(c.kind, kind);
        }
    }
}

} // namespace
