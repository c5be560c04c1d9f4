#include "property_text.h"

#include "host/i18n/ustring_conversion.h"
#include "property_list.h"

#include <cstdint>
#include <mutex>
#include <sstream>
#include <vector>

namespace korvex::host {

namespace {

std::mutex describersMutex;
std::vector<PropertyDescriber>& describers() {
    static std::vector<PropertyDescriber> all;
    return all;
}

template <class T> std::string show(const T& value) {
    std::ostringstream out;
    if constexpr (std::is_same_v<T, std::string>)
        out << '"' << value << '"';
    else if constexpr (std::is_same_v<T, conduit::kit::ustring>)
        out << '"' << korvex::i18n::narrow(value) << '"';
    else if constexpr (std::is_same_v<T, bool>)
        out << (value ? "true" : "false");
    else if constexpr (sizeof(T) == 1)
        out << static_cast<int>(value);
    else
        out << value;
    return out.str();
}

template <class T> std::optional<std::string> tryType(const conduit::interfaces::IPropertyInfo* p) {
    if (auto value = scalarValue<T>(p))
        return show(*value);
    if (auto values = vectorValue<T>(p)) {
        std::string text = "[";
        for (std::size_t i = 0; i < values->size(); ++i)
            text += (i ? ", " : "") + show<T>((*values)[i]);
        return text + "]";
    }
    return std::nullopt;
}

template <class... T>
std::optional<std::string> tryTypes(const conduit::interfaces::IPropertyInfo* property) {
    std::optional<std::string> text;
    ((text ? void() : void(text = tryType<T>(property))), ...);
    return text;
}

} // namespace

void registerPropertyDescriber(PropertyDescriber describer) {
    std::lock_guard<std::mutex> lock(describersMutex);
    describers().push_back(std::move(describer));
}

std::string propertyText(const conduit::interfaces::IPropertyInfo* property) {
    if (property == nullptr)
        return "(null)";
    if (auto text = tryTypes<double, bool, float, signed char, std::uint8_t, std::int16_t,
                             std::uint16_t, std::int32_t, std::uint32_t, std::int64_t,
                             std::uint64_t, std::string, conduit::kit::ustring>(property))
        return *text;
    std::lock_guard<std::mutex> lock(describersMutex);
    for (const auto& describer : describers()) {
        if (auto text = describer(property))
            return *text;
    }
    return "(a value of a class the host does not know)";
}

} // namespace korvex::host
