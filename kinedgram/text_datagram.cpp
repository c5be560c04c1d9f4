#include "text_datagram.h"

#include "text_number.h"

#include <cstring>
#include <string_view>

namespace kinedgram {

namespace {

struct KindRule {
    std::size_t minimumLength; // bytes received, terminator included
    std::size_t fieldCount;    // exactly
    std::size_t valueCount;    // numeric fields read, from field 3
};

bool ruleFor(char kind, KindRule& rule) {
    switch (kind) {
    case 'A':
    case 'M':
    case 'O':
        rule = {16, 6, 3};
        return true;
    case 'G':
    case 'N':
        rule = {25, 9, 6};
        return true;
    default:
        return false;
    }
}

} // namespace

bool isTextKind(std::uint8_t firstByte) {
    KindRule rule;
    return ruleFor(static_cast<char>(firstByte), rule);
}

bool parseTextDatagram(std::uint8_t* data, std::size_t length, TextFields& fields,
                       TextReading& reading) {
    KindRule rule;
    if (data == nullptr || length == 0 || !ruleFor(static_cast<char>(data[0]), rule) ||
        length < rule.minimumLength)
        return false;
    reading.kind = static_cast<char>(data[0]);

    data[length - 1] = 0;
    const auto* text = reinterpret_cast<const char*>(data);
    if (!fields.split(std::string_view(text, std::strlen(text))) ||
        fields.count() != rule.fieldCount)
        return false;
    for (std::size_t i = 0; i < rule.valueCount; ++i) {
        if (!parseNumber(fields[3 + i], reading.values[i]))
            return false;
    }
    return true;
}

} // namespace kinedgram
