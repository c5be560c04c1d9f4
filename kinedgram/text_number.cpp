#include "text_number.h"

#include <charconv>
#include <limits>
#include <locale>
#include <sstream>
#include <string>

namespace kinedgram {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Whether text is one of the accepted NaN or infinity spellings (sign removed).
bool parseSpecial(std::string_view body, bool negative, double& value) {
    if (body.size() >= 3) {
        const std::string_view head = body.substr(0, 3);
        if (head == "nan" || head == "NAN") {
            const std::string_view tail = body.substr(3);
            // Either nothing, or a tail opening and closing with parentheses.
            if (!tail.empty() && (tail.size() < 2 || tail.front() != '(' || tail.back() != ')'))
                return false;
            value = std::numeric_limits<double>::quiet_NaN();
            value = negative ? -value : value;
            return true;
        }
    }
    if (body == "inf" || body == "INF" || body == "infinity" || body == "INFINITY") {
        value = negative ? -std::numeric_limits<double>::infinity()
                         : std::numeric_limits<double>::infinity();
        return true;
    }
    return false;
}

// Whether body (sign removed) follows digits [. digits] [e [sign] digits], with at
// least one digit in the mantissa and in the exponent.
bool isDecimal(std::string_view body) {
    std::size_t i = 0;
    std::size_t mantissaDigits = 0;
    while (i < body.size() && isDigit(body[i]))
        ++i, ++mantissaDigits;
    if (i < body.size() && body[i] == '.') {
        ++i;
        while (i < body.size() && isDigit(body[i]))
            ++i, ++mantissaDigits;
    }
    if (mantissaDigits == 0)
        return false;
    if (i < body.size() && (body[i] == 'e' || body[i] == 'E')) {
        ++i;
        if (i < body.size() && (body[i] == '+' || body[i] == '-'))
            ++i;
        std::size_t exponentDigits = 0;
        while (i < body.size() && isDigit(body[i]))
            ++i, ++exponentDigits;
        if (exponentDigits == 0)
            return false;
    }
    return i == body.size();
}

} // namespace

bool parseNumber(std::string_view field, double& value) {
    if (field.empty())
        return false;
    // The app writes NaN; it is read as nan. Other mixed-case spellings fail.
    if (field == "NaN") {
        value = std::numeric_limits<double>::quiet_NaN();
        return true;
    }
    const bool negative = field.front() == '-';
    const std::string_view body = (negative || field.front() == '+') ? field.substr(1) : field;
    if (body.empty())
        return false;
    if (!isDigit(body.front()) && body.front() != '.')
        return parseSpecial(body, negative, value);
    if (!isDecimal(body))
        return false;

    double magnitude = 0.0;
    const auto [end, error] = std::from_chars(body.data(), body.data() + body.size(), magnitude);
    if (error == std::errc::result_out_of_range) {
        // Too large or too small for a double. A stream of the classic locale
        // rejects the first and rounds the second to zero, as number extraction
        // does everywhere else; this rare case may be slow.
        std::istringstream stream{std::string(body)};
        stream.imbue(std::locale::classic());
        if (!(stream >> magnitude) || stream.peek() != std::char_traits<char>::eof())
            return false;
    } else if (error != std::errc() || end != body.data() + body.size()) {
        return false;
    }
    value = negative ? -magnitude : magnitude;
    return true;
}

} // namespace kinedgram
