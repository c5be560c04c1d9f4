#include "tools/common/host_value.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <vector>

namespace {

using kxtools::HostArray;
using kxtools::hostCellTexts;
using kxtools::hostNumbers;
using kxtools::hostText;
using kxtools::hostValueText;
using kxtools::numberText;

template <class T> HostArray row(tvClassID classID, const std::vector<T>& values) {
    HostArray array(tvCreateNumericMatrix(1, values.size(), classID, tvREAL));
    if (!values.empty())
        std::memcpy(tvGetData(array.get()), values.data(), values.size() * sizeof(T));
    return array;
}

TEST(NumberText, IsTheShortestTextThatReadsBackExactly) {
    const struct {
        double value;
        const char* text;
    } cases[] = {{0.0, "0"},
                 {-0.0, "-0"},
                 {2024.0, "2024"},
                 {0.1, "0.1"},
                 {-9.81, "-9.81"},
                 {30.25, "30.25"},
                 {1e-7, "1e-07"},
                 {1.0 / 3.0, "0.3333333333333333"},
                 {std::numeric_limits<double>::quiet_NaN(), "NaN"},
                 {std::numeric_limits<double>::infinity(), "Inf"},
                 {-std::numeric_limits<double>::infinity(), "-Inf"}};
    for (const auto& c : cases)
        EXPECT_EQ(c.text, numberText(c.value)) << c.text;
    // Round trip for awkward values.
    for (double value : {5e-324, 1.7976931348623157e308, 0.30000000000000004, 48.1234567, -4.905})
        EXPECT_EQ(value, std::strtod(numberText(value).c_str(), nullptr)) << value;
}

// Whole numbers take a shortcut; it must write what the general shortest form
// writes, on both sides of where that form turns to an exponent (100000 is
// "1e+05"), for every whole number near it and every one a reading's time holds.
TEST(NumberText, WholeNumbersReadAsTheShortestFormWritesThem) {
    const auto shortest = [](double value) {
        char text[64];
        return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
    };
    std::string out;
    for (int n = -150000; n <= 150000; ++n) {
        for (const double value : {static_cast<double>(n), n + 0.5}) {
            out.clear();
            kxtools::appendNumberText(value, out);
            ASSERT_EQ(shortest(value), out) << value;
        }
    }
    for (const double value : {1e5, -1e5, 1e6, 1e15, 1e16, 2147483648.0, -2147483649.0, 1e300}) {
        out.clear();
        kxtools::appendNumberText(value, out);
        EXPECT_EQ(shortest(value), out) << value;
    }
    EXPECT_EQ("1e+05", numberText(100000.0));
    EXPECT_EQ("99999", numberText(99999.0));
    EXPECT_EQ("-0", numberText(-0.0));
}

TEST(HostValue, ReadsNumbersOfEveryClassAsDoubles) {
    EXPECT_EQ(std::vector<double>({1.5, -2.0}),
              *hostNumbers(row<double>(tvDOUBLE_CLASS, {1.5, -2.0}).get()));
    EXPECT_EQ(std::vector<double>({7}), *hostNumbers(row<std::int32_t>(tvINT32_CLASS, {7}).get()));
    EXPECT_EQ(std::vector<double>({-3, 4}),
              *hostNumbers(row<std::int16_t>(tvINT16_CLASS, {-3, 4}).get()));
    EXPECT_EQ(std::vector<double>({65535}),
              *hostNumbers(row<std::uint16_t>(tvUINT16_CLASS, {65535}).get()));
    EXPECT_EQ(std::vector<double>({0.5f}), *hostNumbers(row<float>(tvSINGLE_CLASS, {0.5f}).get()));
    HostArray logical(tvCreateLogicalScalar(true));
    EXPECT_EQ(std::vector<double>({1}), *hostNumbers(logical.get()));
    EXPECT_EQ("true", hostValueText(logical.get()));
    EXPECT_TRUE(hostNumbers(row<double>(tvDOUBLE_CLASS, {}).get())->empty());

    HostArray text(tvCreateString("10.0.0.5"));
    EXPECT_FALSE(hostNumbers(text.get()));
    EXPECT_FALSE(hostNumbers(nullptr));
}

TEST(HostValue, ReadsNumbersIntoRoomOfTheCallersAndTellsHowManyThereAre) {
    double room[3] = {-1, -1, -1};
    // Only as many as there is room for, but the count of all.
    const auto four = row<std::uint64_t>(tvUINT64_CLASS, {1, 2, 3, 4});
    EXPECT_EQ(4u, kxtools::hostNumbersInto(four.get(), room, 2).value());
    EXPECT_EQ(1.0, room[0]);
    EXPECT_EQ(2.0, room[1]);
    EXPECT_EQ(-1.0, room[2]) << "beyond the room nothing is written";
    EXPECT_EQ(1u, kxtools::hostNumbersInto(row<std::int8_t>(tvINT8_CLASS, {-7}).get(), room, 3));
    EXPECT_EQ(-7.0, room[0]);
    EXPECT_EQ(0u, kxtools::hostNumbersInto(row<double>(tvDOUBLE_CLASS, {}).get(), room, 3));
    HostArray text(tvCreateString("10.0.0.5"));
    EXPECT_FALSE(kxtools::hostNumbersInto(text.get(), room, 3));
    EXPECT_FALSE(kxtools::hostNumbersInto(nullptr, room, 3));
}

TEST(HostValue, ReadsTextAndCellsAndRendersAnyValue) {
    HostArray text(tvCreateString("caf\xc3\xa9"));
    EXPECT_EQ("caf\xc3\xa9", *hostText(text.get()));
    EXPECT_FALSE(hostText(row<double>(tvDOUBLE_CLASS, {1}).get()));
    EXPECT_FALSE(hostText(nullptr));

    const std::size_t dims[] = {1, 3};
    HostArray cells(tvCreateCellArray(2, dims));
    tvSetCell(cells.get(), 0, tvCreateString("192.168.1.20"));
    tvSetCell(cells.get(), 1, tvCreateDoubleScalar(50000));
    // cell 2 stays empty
    EXPECT_EQ(std::vector<std::string>({"192.168.1.20", "50000", "<empty>"}),
              *hostCellTexts(cells.get()));
    EXPECT_EQ("{192.168.1.20, 50000, <empty>}", hostValueText(cells.get()));
    EXPECT_FALSE(hostCellTexts(text.get()));

    EXPECT_EQ("[1, 2.5]", hostValueText(row<double>(tvDOUBLE_CLASS, {1, 2.5}).get()));
    EXPECT_EQ("50000", hostValueText(row<double>(tvDOUBLE_CLASS, {50000}).get()));
    const char* names[] = {"A"};
    HostArray structure(tvCreateStructMatrix(1, 1, 1, names));
    EXPECT_EQ("<struct>", hostValueText(structure.get()));
    EXPECT_EQ("<empty>", hostValueText(nullptr));
}

} // namespace
