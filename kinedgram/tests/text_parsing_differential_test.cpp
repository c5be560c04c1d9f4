// The production parser must accept and reject exactly what the format's
// definition (Boost's tokenizer, trim and lexical_cast, with the case rule for nan
// and inf) accepts and rejects, and give the same values. Checked on edge cases and
// on generated texts.

#include "kinedgram/reference/boost_text_reference.h"
#include "kinedgram/text_datagram.h"
#include "kinedgram/text_fields.h"
#include "kinedgram/text_number.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

namespace {

bool sameValue(double a, double b) {
    if (std::isnan(a) || std::isnan(b))
        return std::isnan(a) && std::isnan(b) && std::signbit(a) == std::signbit(b);
    return a == b && std::signbit(a) == std::signbit(b);
}

// Compares both parsers on one text whose kind needs fieldCount fields; answers
// whether the text was accepted.
bool compare(const std::string& text, std::size_t fieldCount, std::size_t valueCount) {
    const auto expected = kinedgram::reference::parseText(text, fieldCount, valueCount);

    kinedgram::TextFields fields;
    bool accepted = fields.split(text) && fields.count() == fieldCount;
    std::vector<double> values;
    for (std::size_t i = 0; accepted && i < valueCount; ++i) {
        double value = 0;
        accepted = kinedgram::parseNumber(fields[3 + i], value);
        values.push_back(value);
    }
    EXPECT_EQ(expected.has_value(), accepted) << "text: " << text;
    for (std::size_t i = 0; accepted && expected && i < valueCount; ++i)
        EXPECT_TRUE(sameValue((*expected)[i], values[i]))
            << "text: " << text << " field " << 3 + i << ": " << (*expected)[i] << " vs "
            << values[i];
    return accepted;
}

const char* const NUMBER_PIECES[] = {
    "0",
    "1",
    "12",
    "-0.5",
    "+3",
    "1e-3",
    "1E+2",
    ".5",
    "5.",
    "-.25",
    "007",
    "1e-400",
    "1e309",
    "1.7976931348623157e308",
    "4.9e-324",
    "2.4e-324",
    "123456789012345678901234567890",
    "0.1",
    "3.14159265358979323846",
    "inf",
    "INF",
    "-inf",
    "infinity",
    "+INFINITY",
    "Inf",
    "Infinity",
    "iNf",
    "nan",
    "NAN",
    "NaN",
    "-nan",
    "Nan",
    "nAN",
    "-NaN",
    "nan(1)",
    "NAN()",
    "nan(",
    "NaN(2)",
    "",
    " ",
    "e5",
    "1e",
    "1e+",
    "-",
    "+",
    ".",
    "1.5x",
    "0x10",
    "1 5",
    "--1",
    "\"2.5\"",
    "\" 7 \"",
    "\"1,5\"",
    "\\n8",
    "9\\n",
    "1\\,0",
    "\\\"3",
    "4\\q",
    "\t6\r",
    "\x01",
    "\xC3\xA9",
};

TEST(TextParsingDifferential, EveryPieceInEveryNumericPosition) {
    for (const char* piece : NUMBER_PIECES) {
        for (int position = 3; position < 6; ++position) {
            std::vector<std::string> fields = {"A", "1", "2", "0.5", "-9.81", "0.0"};
            fields[static_cast<std::size_t>(position)] = piece;
            std::string text;
            for (std::size_t i = 0; i < fields.size(); ++i)
                text += (i ? "," : "") + fields[i];
            compare(text, 6, 3);
        }
    }
}

TEST(TextParsingDifferential, StructuralEdgeCases) {
    const char* const texts[] = {
        "A,1,2,3,4,5",
        "A,1,2,3,4,5,",
        ",A,1,2,3,4",
        "A,1,2,\"3,4\",5,6",
        "A,1,2,3,4,5\\",
        "A,1,2,3,4,5\\x",
        "A,\"1,2,3,4,5",
        "A,1,2,3,4,\"5\"\"\"",
        "A\\,1,2,3,4,5,6",
        "A,1,2,3,4,5,6,7",
        "",
        "A",
        "G,1,2,3,4,5,6,7,8",
        "G,1,2,3,4,5,6,7,",
        "N,1,2,3,4,5,6,7,8,9,10,11",
    };
    for (const char* text : texts) {
        compare(text, 6, 3);
        compare(text, 9, 6);
    }
}

TEST(TextParsingDifferential, GeneratedTexts) {
    // Mostly well-formed datagrams with one or two damaged places, so that both
    // outcomes are common.
    std::mt19937 random(20261208);
    const char alphabet[] = "0123456789.,eE+-\"\\ n\tainfNAIF()x";
    std::uniform_int_distribution<std::size_t> pieceOf(0, std::size(NUMBER_PIECES) - 1);
    std::uniform_int_distribution<std::size_t> charOf(0, sizeof alphabet - 2);
    std::uniform_real_distribution<double> number(-1e4, 1e4);
    std::uniform_int_distribution<int> percent(0, 99);
    int acceptedCount = 0;
    const int rounds = 20000;
    for (int round = 0; round < rounds; ++round) {
        const bool location = percent(random) < 50;
        const int fieldCount = location ? 9 : 6;
        std::string text = location ? "G" : "A";
        const int fields = fieldCount + (percent(random) < 90 ? 0 : percent(random) % 3 - 1);
        for (int f = 1; f < fields; ++f) {
            text += ',';
            const int choice = percent(random);
            if (choice < 85) {
                text += std::to_string(number(random));
            } else if (choice < 95) {
                text += NUMBER_PIECES[pieceOf(random)];
            } else {
                for (int c = percent(random) % 4; c >= 0; --c)
                    text += alphabet[charOf(random)];
            }
        }
        acceptedCount += compare(text, static_cast<std::size_t>(fieldCount), location ? 6u : 3u);
        if (HasFailure())
            return;
    }
    // The generator must exercise both outcomes to mean anything.
    EXPECT_GT(acceptedCount, rounds / 10);
    EXPECT_LT(acceptedCount, rounds - rounds / 10);
}

} // namespace
