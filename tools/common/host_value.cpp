#include "host_value.h"

#include "shortest_number.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace kxtools {

namespace {

template <class T> void copyElements(const tvArray* value, double* out, std::size_t count) {
    const auto* data = static_cast<const unsigned char*>(tvGetData(value));
    for (std::size_t i = 0; i < count; ++i) {
        T element;
        std::memcpy(&element, data + i * sizeof(T), sizeof(T));
        out[i] = static_cast<double>(element);
    }
}

} // namespace

std::optional<std::string> hostText(const tvArray* value) {
    if (value == nullptr || !tvIsChar(value))
        return std::nullopt;
    char* text = tvArrayToString(value);
    if (text == nullptr)
        return std::nullopt;
    std::string copy;
    try {
        copy = text;
    } catch (...) {
        tvFree(text);
        throw;
    }
    tvFree(text);
    return copy;
}

std::optional<std::size_t> hostNumbersInto(const tvArray* value, double* out, std::size_t room) {
    if (value == nullptr)
        return std::nullopt;
    const std::size_t count = tvGetNumberOfElements(value);
    const std::size_t copied = std::min(count, room);
    switch (tvGetClassID(value)) {
    case tvDOUBLE_CLASS:
        copyElements<double>(value, out, copied);
        break;
    case tvSINGLE_CLASS:
        copyElements<float>(value, out, copied);
        break;
    case tvLOGICAL_CLASS:
    case tvUINT8_CLASS:
        copyElements<std::uint8_t>(value, out, copied);
        break;
    case tvINT8_CLASS:
        copyElements<std::int8_t>(value, out, copied);
        break;
    case tvINT16_CLASS:
        copyElements<std::int16_t>(value, out, copied);
        break;
    case tvUINT16_CLASS:
        copyElements<std::uint16_t>(value, out, copied);
        break;
    case tvINT32_CLASS:
        copyElements<std::int32_t>(value, out, copied);
        break;
    case tvUINT32_CLASS:
        copyElements<std::uint32_t>(value, out, copied);
        break;
    case tvINT64_CLASS:
        copyElements<std::int64_t>(value, out, copied);
        break;
    case tvUINT64_CLASS:
        copyElements<std::uint64_t>(value, out, copied);
        break;
    default:
        return std::nullopt;
    }
    return count;
}

std::optional<std::vector<double>> hostNumbers(const tvArray* value) {
    std::vector<double> numbers(tvGetNumberOfElements(value));
    if (!hostNumbersInto(value, numbers.data(), numbers.size()))
        return std::nullopt;
    return numbers;
}

std::optional<std::vector<std::string>> hostCellTexts(const tvArray* value) {
    if (value == nullptr || tvGetClassID(value) != tvCELL_CLASS)
        return std::nullopt;
    std::vector<std::string> texts;
    const std::size_t count = tvGetNumberOfElements(value);
    for (std::size_t i = 0; i < count; ++i)
        texts.push_back(hostValueText(tvGetCell(value, i)));
    return texts;
}

std::string hostValueText(const tvArray* value) {
    if (value == nullptr)
        return "<empty>";
    if (auto text = hostText(value))
        return *text;
    if (auto numbers = hostNumbers(value)) {
        if (tvGetClassID(value) == tvLOGICAL_CLASS && numbers->size() == 1)
            return numbers->front() != 0.0 ? "true" : "false";
        if (numbers->size() == 1)
            return numberText(numbers->front());
        std::string list = "[";
        for (std::size_t i = 0; i < numbers->size(); ++i)
            list += (i == 0 ? "" : ", ") + numberText((*numbers)[i]);
        return list + "]";
    }
    if (auto cells = hostCellTexts(value)) {
        std::string list = "{";
        for (std::size_t i = 0; i < cells->size(); ++i)
            list += (i == 0 ? "" : ", ") + (*cells)[i];
        return list + "}";
    }
    if (tvGetClassID(value) == tvSTRUCT_CLASS)
        return "<struct>";
    return "<value>";
}

std::string numberText(double value) {
    std::string text;
    appendNumberText(value, text);
    return text;
}

void appendNumberText(double value, std::string& out) {
    char text[MAX_NUMBER_TEXT];
    out.append(text, writeNumberText(value, text));
}

char* writeNumberText(double value, char* at) {
    if (std::isnan(value))
        return std::copy_n("NaN", 3, at);
    if (std::isinf(value))
        return value > 0 ? std::copy_n("Inf", 3, at) : std::copy_n("-Inf", 4, at);
    // Small whole numbers (a time's year to minute, a measurement code) are most of
    // a reading's numbers: as integers they take a tenth of the time. Below 100000
    // the shortest form of a whole number is its digits (from 100000 on, "1e+05" is
    // shorter); -0 keeps its sign through the general path.
    if (value > -100000.0 && value < 100000.0 && value == static_cast<int>(value) &&
        !(value == 0.0 && std::signbit(value)))
        return std::to_chars(at, at + MAX_NUMBER_TEXT, static_cast<int>(value)).ptr;
    // The shortest text that reads back exactly needs at most 24 characters.
    return writeShortestNumber(value, at);
}

} // namespace kxtools
