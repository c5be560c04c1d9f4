#pragma once

// The text datagram rules written directly with Boost's escaped-list tokenizer,
// trim and lexical_cast, as the app's format is defined. The production parser is
// checked against this one and measured beside it; it is not used by the plug-in.

#include <boost/algorithm/string/trim.hpp>
#include <boost/lexical_cast.hpp>
#include <boost/tokenizer.hpp>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace kinedgram::reference {

// lexical_cast accepts any letter case in nan and inf spellings; the format takes
// only these (after the sign; a NaN may carry a parenthesised tail).
inline bool spellingAllowed(const std::string& field) {
    std::string body = field;
    if (!body.empty() && (body[0] == '+' || body[0] == '-'))
        body.erase(0, 1);
    if (body.empty() || (body[0] >= '0' && body[0] <= '9') || body[0] == '.')
        return true;
    const std::string head = body.substr(0, body.find('('));
    return head == "nan" || head == "NAN" || head == "inf" || head == "INF" || head == "infinity" ||
           head == "INFINITY";
}

// The fields of text, or nothing when the tokenizer rejects it.
inline std::optional<std::vector<std::string>> splitFields(const std::string& text) {
    typedef boost::tokenizer<boost::escaped_list_separator<char>> Tokenizer;
    std::vector<std::string> fields;
    try {
        Tokenizer tokens(text, boost::escaped_list_separator<char>('\\', ',', '"'));
        for (const std::string& token : tokens) {
            std::string field = boost::algorithm::trim_copy(token);
            fields.push_back(field == "NaN" ? "nan" : field);
        }
    } catch (const boost::escaped_list_error&) {
        return std::nullopt;
    }
    return fields;
}

inline std::optional<double> toNumber(const std::string& field) {
    double value = 0.0;
    if (!boost::conversion::try_lexical_convert(field, value) || !spellingAllowed(field))
        return std::nullopt;
    return value;
}

// Fields 3 onwards of a datagram text with exactly fieldCount fields, converted;
// nothing when any rule fails.
inline std::optional<std::vector<double>> parseText(const std::string& text, std::size_t fieldCount,
                                                    std::size_t valueCount) {
    const auto fields = splitFields(text);
    if (!fields || fields->size() != fieldCount)
        return std::nullopt;
    std::vector<double> values;
    for (std::size_t i = 0; i < valueCount; ++i) {
        const auto value = toNumber((*fields)[3 + i]);
        if (!value)
            return std::nullopt;
        values.push_back(*value);
    }
    return values;
}

} // namespace kinedgram::reference
