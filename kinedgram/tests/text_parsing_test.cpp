#include "kinedgram/text_datagram.h"
#include "kinedgram/text_fields.h"
#include "kinedgram/text_number.h"

#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using kinedgram::parseNumber;
using kinedgram::parseTextDatagram;
using kinedgram::TextFields;
using kinedgram::TextReading;

std::vector<std::string> split(const std::string& text, bool* ok = nullptr) {
    TextFields fields;
    const bool split = fields.split(text);
    if (ok != nullptr)
        *ok = split;
    std::vector<std::string> all;
    for (std::size_t i = 0; split && i < fields.count(); ++i)
        all.emplace_back(fields[i]);
    return all;
}

TEST(TextFields, CommasQuotesEscapesAndBlanks) {
    using Fields = std::vector<std::string>;
    EXPECT_EQ((Fields{"A", "1", "2"}), split("A,1,2"));
    EXPECT_EQ((Fields{"A", "", "2", ""}), split("A,,2,")); // empty fields count
    EXPECT_EQ((Fields{"1,5", "x"}), split("\"1,5\",x"));   // a quoted comma
    EXPECT_EQ((Fields{"2.5"}), split("\"2.5\""));          // quotes are not kept
    EXPECT_EQ((Fields{"1.5"}), split(" \t1.5 \r"));        // blanks trimmed
    EXPECT_EQ((Fields{"1.5"}), split("\" 1.5 \""));        // also quoted blanks
    EXPECT_EQ((Fields{"a,b", "\"", "\\"}), split("a\\,b,\\\",\\\\"));
    EXPECT_EQ((Fields{"x"}), split("\\nx")); // escaped newline is trimmed
    EXPECT_EQ((Fields{"a\nb"}), split("a\\nb"));
    EXPECT_EQ((Fields{"open quote, runs on"}), split("\"open quote, runs on"));
    EXPECT_EQ(Fields{}, split(""));
    EXPECT_EQ((Fields{"", ""}), split(","));
}

TEST(TextFields, EscapeErrorsAndTooManyFields) {
    bool ok = true;
    split("A,1\\x,2", &ok);
    EXPECT_FALSE(ok) << "backslash before another character";
    split("A,1,2\\", &ok);
    EXPECT_FALSE(ok) << "backslash at the very end";
    split("1,2,3,4,5,6,7,8,9,10", &ok);
    EXPECT_TRUE(ok);
    split("1,2,3,4,5,6,7,8,9,10,11", &ok);
    EXPECT_FALSE(ok) << "more fields than any kind has";
}

TEST(TextNumber, AcceptedSpellings) {
    const struct {
        const char* text;
        double value;
    } accepted[] = {
        {"12", 12},          {"-0.5", -0.5},         {"+3", 3},
        {"1e-3", 1e-3},      {"1E+2", 100},          {".5", 0.5},
        {"5.", 5},           {"-.25", -0.25},        {"007", 7},
        {"1e-400", 0},       {"inf", INFINITY},      {"INF", INFINITY},
        {"-inf", -INFINITY}, {"infinity", INFINITY}, {"+INFINITY", INFINITY},
    };
    for (const auto& c : accepted) {
        double value = -123;
        EXPECT_TRUE(parseNumber(c.text, value)) << c.text;
        EXPECT_EQ(c.value, value) << c.text;
    }
    for (const char* nan : {"nan", "NAN", "NaN", "-nan", "+NAN", "nan(1)", "NAN()", "nan(x)y)"}) {
        double value = 0;
        EXPECT_TRUE(parseNumber(nan, value)) << nan;
        EXPECT_TRUE(std::isnan(value)) << nan;
    }
}

TEST(TextNumber, RejectedSpellings) {
    for (const char* text :
         {"",       "1.5x", "1e",    "1E",    "1e+",   "1e-",       "-",    "+",
          ".",      "e5",   "1.5.2", " 1",    "1 ",    "1 5",       "0x10", "1e309",
          "--1",    "+-1",  "Nan",   "nAn",   "Inf",   "Infinity",  "iNF",  "-NaN",
          "NaN(1)", "nan(", "nan)",  "nan(x", "infin", "infinityy", "1,5",  "\xC2\xB5"}) {
        double value = 0;
        EXPECT_FALSE(parseNumber(text, value)) << '"' << text << '"';
    }
}

// Builds a datagram from text plus the app's one terminator byte.
std::vector<std::uint8_t> datagram(const std::string& text, bool terminator = true) {
    std::vector<std::uint8_t> bytes(text.begin(), text.end());
    if (terminator)
        bytes.push_back('\n');
    return bytes;
}

bool parse(std::vector<std::uint8_t> bytes, TextReading& reading) {
    TextFields fields;
    return parseTextDatagram(bytes.data(), bytes.size(), fields, reading);
}

TEST(TextDatagram, AccelerationWithTerminator) {
    TextReading reading;
    const auto bytes = datagram("A,1,2,0.5,-9.81,0.0");
    ASSERT_EQ(20u, bytes.size());
    ASSERT_TRUE(parse(bytes, reading));
    EXPECT_EQ('A', reading.kind);
    EXPECT_EQ(0.5, reading.values[0]);
    EXPECT_EQ(-9.81, reading.values[1]);
    EXPECT_EQ(0.0, reading.values[2]);
}

TEST(TextDatagram, MissingTerminatorLosesTheLastCharacter) {
    TextReading reading;
    ASSERT_TRUE(parse(datagram("A,1,2,3.5,4.5,55", false), reading));
    EXPECT_EQ(5.0, reading.values[2]);
}

TEST(TextDatagram, MinimumLengthsCountTheTerminator) {
    TextReading reading;
    EXPECT_FALSE(parse(datagram("A,1,2,3,4,5,6", false), reading));    // 13 bytes
    EXPECT_FALSE(parse(datagram("A,1,2,3.0,4,55"), reading));          // 15 bytes, six fields
    EXPECT_TRUE(parse(datagram("A,1,2,3.0,4,555"), reading));          // 16 bytes
    EXPECT_FALSE(parse(datagram("G,1,2,3,4,5,6,7,8,"), reading));      // 19 bytes
    EXPECT_FALSE(parse(datagram("G,1,2,3,4,5,6,7,8888888"), reading)); // 24 bytes
    EXPECT_TRUE(parse(datagram("G,1,2,3,4,5,6,7,88888888"), reading)); // 25 bytes
}

TEST(TextDatagram, FieldCountsAreExact) {
    TextReading reading;
    EXPECT_FALSE(parse(datagram("A,1,2,3.0,4.0,5.0,6.0"), reading));     // seven fields
    EXPECT_FALSE(parse(datagram("A,1,2,3.00000,4.000000"), reading));    // five fields
    EXPECT_FALSE(parse(datagram("G,1,2,3.0,4.0,5.0,6.0,7.0"), reading)); // eight fields
    EXPECT_TRUE(parse(datagram("G,1,2,3.0,4.0,5.0,6.0,7.0,8.0"), reading));
    EXPECT_FALSE(parse(datagram("G,1,2,3.0,4.0,5.0,6.0,7.0,8.0,9"), reading)); // ten
}

TEST(TextDatagram, FieldsBeforeTheThirdAreNotRead) {
    TextReading reading;
    ASSERT_TRUE(parse(datagram("Mxyz,any thing,\"a,b\",30000000,0,-45000000"), reading));
    EXPECT_EQ('M', reading.kind);
    EXPECT_EQ(30000000.0, reading.values[0]); // unscaled: the device scales
    EXPECT_EQ(-45000000.0, reading.values[2]);
}

TEST(TextDatagram, KindsAndBadFields) {
    TextReading reading;
    EXPECT_FALSE(parse(datagram("a,1,2,3.0,4.0,5.0"), reading)); // lower case
    EXPECT_FALSE(parse(datagram("1,1,2,3.0,4.0,5.0"), reading));
    EXPECT_FALSE(parse(datagram("O,1,2,3.0,Nan,5.0"), reading));
    EXPECT_FALSE(parse(datagram("O,1,2,3.0,\"1,5\",5.0"), reading));
    EXPECT_TRUE(parse(datagram("O,1,2,3.0,\"2.5\", NaN "), reading));
    EXPECT_EQ(2.5, reading.values[1]);
    EXPECT_TRUE(std::isnan(reading.values[2]));
    EXPECT_FALSE(parse(datagram("O,1,2,3.0,4\\q,5.0"), reading)); // bad escape: dropped
    EXPECT_TRUE(kinedgram::isTextKind('G'));
    EXPECT_FALSE(kinedgram::isTextKind('g'));
}

TEST(TextDatagram, TextStopsAtTheFirstNul) {
    TextReading reading;
    std::vector<std::uint8_t> bytes = datagram("A,1,2,3.0,4.0,5.0");
    bytes.insert(bytes.end() - 1, {0, 'x', ',', 'y'});
    EXPECT_TRUE(parse(bytes, reading));
    EXPECT_EQ(5.0, reading.values[2]);
}

} // namespace
