#include "host/i18n/ustring_conversion.h"

#include <gtest/gtest.h>
#include <stdexcept>

namespace {

using korvex::i18n::narrow;
using korvex::i18n::UStringToNarrow;
using korvex::i18n::widen;

TEST(UStringConversion, AsciiRoundTripsUnchanged) {
    const std::string name = "BGRA32PackedRowTopDown";
    EXPECT_EQ(name, narrow(widen(name)));
    EXPECT_EQ(name.size(), widen(name).size());
}

TEST(UStringConversion, NonAsciiBecomesUtf8) {
    const conduit::kit::ustring text = {0x00E9, 0x20AC, 0xD83D, 0xDE00};
    EXPECT_EQ("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", narrow(text));
    EXPECT_EQ(text, widen(narrow(text)));
}

TEST(UStringConversion, UnpairedSurrogateIsReplacedOrRejected) {
    const conduit::kit::ustring lone = {u'a', 0xD800, u'b'};
    EXPECT_EQ("a\xEF\xBF\xBD"
              "b",
              UStringToNarrow(true)(lone.data(), lone.size()));
    EXPECT_THROW(UStringToNarrow(false)(lone.data(), lone.size()), std::invalid_argument);
    EXPECT_EQ("", UStringToNarrow(false)(nullptr, 0));
}

} // namespace
