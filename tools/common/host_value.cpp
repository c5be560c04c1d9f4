#include "host_value.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace kxtools {

namespace {

template <class T> void appendElements(const tvArray* value, std::vector<double>& out) {
    const std::size_t count = tvGetNumberOfElements(value);
    const void* data = tvGetData(value);
    for (std::size_t i = 0; i < count; ++i) {
        T element;
        std::memcpy(&element, static_cast<const unsigned char*>(data) + i * sizeof(T), sizeof(T));
        out.push_back(static_cast<double>(element));
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

std::optional<std::vector<double>> hostNumbers(const tvArray* value) {
    if (value == nullptr)
        return std::nullopt;
    std::vector<double> numbers;
    switch (tvGetClassID(value)) {
    case tvDOUBLE_CLASS:
        appendElements<double>(value, numbers);
        break;
    case tvSINGLE_CLASS:
        appendElements<float>(value, numbers);
        break;
    case tvLOGICAL_CLASS:
    case tvUINT8_CLASS:
        appendElements<std::uint8_t>(value, numbers);
        break;
    case tvINT8_CLASS:
        appendElements<std::int8_t>(value, numbers);
        break;
    case tvINT16_CLASS:
        appendElements<std::int16_t>(value, numbers);
        break;
    case tvUINT16_CLASS:
        appendElements<std::uint16_t>(value, numbers);
        break;
    case tvINT32_CLASS:
        appendElements<std::int32_t>(value, numbers);
        break;
    case tvUINT32_CLASS:
        appendElements<std::uint32_t>(value, numbers);
        break;
    case tvINT64_CLASS:
        appendElements<std::int64_t>(value, numbers);
        break;
    case tvUINT64_CLASS:
        appendElements<std::uint64_t>(value, numbers);
        break;
    default:
        return std::nullopt;
    }
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
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value > 0 ? "Inf" : "-Inf";
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

} // namespace kxtools
