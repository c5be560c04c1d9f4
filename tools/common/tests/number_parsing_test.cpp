#include "tools/common/number_parsing.h"
#include "tools/common/option_parser.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <string>

namespace {

using kxtools::parseInteger;
using kxtools::parseReal;
using kxtools::parseUnsigned;
using kxtools::UsageError;

std::string errorOf(void (*call)()) {
    try {
        call();
    } catch (const UsageError& error) {
        return error.what();
    }
    return "(no error)";
}

TEST(NumberParsing, AcceptsWholeNumbersOnly) {
    EXPECT_EQ(42, parseInteger("42", "--n", 0, 100));
    EXPECT_EQ(-7, parseInteger("-7", "--n", -10, 10));
    EXPECT_EQ(7, parseInteger("+7", "--n", -10, 10));
    EXPECT_EQ(UINT64_MAX, parseUnsigned("18446744073709551615", "--seed"));
    EXPECT_EQ(65535u, parseUnsigned("65535", "--port", 65535));
    EXPECT_EQ(0.25, parseReal("0.25", "--rate", 0, 1));
    EXPECT_EQ(100.0, parseReal("1e2", "--rate", 0, 1000));
    EXPECT_EQ(-3.0, parseReal("-3", "--x", -5, 5));
}

TEST(NumberParsing, MessagesSayWhatIsWrong) {
    const struct {
        void (*call)();
        const char* message;
    } cases[] = {
        {[] { parseInteger("", "--n", 0, 9); }, "--n: '' is not a whole number"},
        {[] { parseInteger("1.5", "--n", 0, 9); }, "--n: '1.5' is not a whole number"},
        {[] { parseInteger("12", "--n", 0, 9); }, "--n: '12' is out of range (0 to 9)"},
        {[] { parseInteger(" 1", "--n", 0, 9); }, "--n: ' 1' is not a whole number"},
        {[] { parseInteger("+-1", "--n", -9, 9); }, "--n: '+-1' is not a whole number"},
        {[] { parseUnsigned("-1", "--count"); }, "--count: '-1' is negative"},
        {[] { parseUnsigned("99999999999999999999", "--count"); },
         "--count: '99999999999999999999' is out of range"},
        {[] { parseUnsigned("70000", "--port", 65535); },
         "--port: '70000' is out of range (0 to 65535)"},
        {[] { parseUnsigned("0x10", "--n"); }, "--n: '0x10' is not a whole number"},
        {[] { parseReal("fast", "--rate", 0, 9); }, "--rate: 'fast' is not a number"},
        {[] { parseReal("5Hz", "--rate", 0, 9); }, "--rate: '5Hz' is not a number"},
        {[] { parseReal("inf", "--rate", 0, 9); }, "--rate: 'inf' is not a finite number"},
        {[] { parseReal("nan", "--rate", 0, 9); }, "--rate: 'nan' is not a finite number"},
        {[] { parseReal("1e999", "--rate", 0, 9); }, "--rate: '1e999' is out of range"},
        {[] { parseReal("0", "--rate", 0.001, 9); }, "--rate: '0' is out of range (0.001 to 9)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.message, errorOf(c.call));
}

} // namespace
