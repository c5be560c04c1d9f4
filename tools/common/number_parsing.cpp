#include "number_parsing.h"

#include "option_parser.h"

#include <charconv>
#include <cmath>
#include <sstream>
#include <type_traits>

namespace kxtools {

namespace {

std::string quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

template <class T> std::string rangeText(T minimum, T maximum) {
    std::ostringstream text;
    text << "(" << minimum << " to " << maximum << ")";
    return text.str();
}

[[noreturn]] void notA(std::string_view what, std::string_view text, const char* kind) {
    throw UsageError(std::string(what) + ": " + quoted(text) + " is not " + kind);
}

template <class T> T parseWhole(std::string_view text, std::string_view what, const char* kind) {
    T value{};
    const char* begin = text.data();
    const char* end = text.data() + text.size();
    // from_chars takes no leading "+"; a user may well write one for a signed value.
    if (!std::is_unsigned_v<T> && begin != end && *begin == '+' && end - begin > 1 &&
        begin[1] != '-')
        ++begin;
    const auto [stop, error] = std::from_chars(begin, end, value);
    if (error == std::errc::result_out_of_range)
        throw UsageError(std::string(what) + ": " + quoted(text) + " is out of range");
    if (text.empty() || error != std::errc() || stop != end)
        notA(what, text, kind);
    return value;
}

} // namespace

std::int64_t parseInteger(std::string_view text, std::string_view what, std::int64_t minimum,
                          std::int64_t maximum) {
    const auto value = parseWhole<std::int64_t>(text, what, "a whole number");
    if (value < minimum || value > maximum)
        throw UsageError(std::string(what) + ": " + quoted(text) + " is out of range " +
                         rangeText(minimum, maximum));
    return value;
}

std::uint64_t parseUnsigned(std::string_view text, std::string_view what, std::uint64_t maximum) {
    if (!text.empty() && text[0] == '-')
        throw UsageError(std::string(what) + ": " + quoted(text) + " is negative");
    const auto value = parseWhole<std::uint64_t>(text, what, "a whole number");
    if (value > maximum)
        throw UsageError(std::string(what) + ": " + quoted(text) + " is out of range " +
                         rangeText<std::uint64_t>(0, maximum));
    return value;
}

double parseReal(std::string_view text, std::string_view what, double minimum, double maximum) {
    const double value = parseWhole<double>(text, what, "a number");
    if (!std::isfinite(value))
        notA(what, text, "a finite number");
    if (value < minimum || value > maximum)
        throw UsageError(std::string(what) + ": " + quoted(text) + " is out of range " +
                         rangeText(minimum, maximum));
    return value;
}

} // namespace kxtools
