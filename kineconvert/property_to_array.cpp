#include "property_to_array.h"

#include "conduit/kit/scalar_property.h"
#include "conduit/kit/ustring.h"
#include "conduit/kit/vector_property.h"
#include "element_classes.h"
#include "host_array.h"
#include "mobilesensor/string_vector_property.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

namespace kineconvert {

namespace {

namespace kit = conduit::kit::device;
using conduit::interfaces::IPropertyInfo;

// A new 1-by-count logical row; element i is true exactly when values[i] is.
ArrayPtr logicalRow(const bool* values, std::size_t count) {
    ArrayPtr array(tvCreateLogicalMatrix(1, count));
    if (array == nullptr || count == 0)
        return array;
    auto* bytes = static_cast<unsigned char*>(tvGetData(array.get()));
    if (bytes == nullptr)
        return nullptr;
    for (std::size_t i = 0; i < count; ++i)
        bytes[i] = values[i] ? 1 : 0;
    return array;
}

// A new real 1-by-count row of T's host class holding the values in order.
template <class T> ArrayPtr numericRow(const T* values, std::size_t count) {
    ArrayPtr array(tvCreateNumericMatrix(1, count, HostClass<T>::id, tvREAL));
    if (array == nullptr || count == 0)
        return array;
    void* data = tvGetData(array.get());
    if (data == nullptr)
        return nullptr;
    std::memcpy(data, values, count * sizeof(T));
    return array;
}

template <class T> ArrayPtr scalarArray(const T& value) {
    if constexpr (std::is_same_v<T, bool>)
        return logicalRow(&value, 1);
    else if constexpr (std::is_same_v<T, std::string>)
        return ArrayPtr(tvCreateString(value.c_str()));
    else if constexpr (std::is_same_v<T, conduit::kit::ustring>)
        return ArrayPtr(tvCreateStringFromWide(value.data(), value.size()));
    else
        return numericRow(&value, 1);
}

template <class T> ArrayPtr vectorArray(const T* values, std::size_t count) {
    if constexpr (std::is_same_v<T, bool>)
        return logicalRow(values, count);
    else if constexpr (std::is_same_v<T, std::string> || std::is_same_v<T, conduit::kit::ustring>)
        return nullptr; // a list of texts has no host form here
    else
        return numericRow(values, count);
}

// The host form of a kit property of element type T; nullopt when the property is
// neither TScalarProperty<T> nor TVectorProperty<T>. A match whose value has no host
// form, or could not be made, gives a null array.
template <class T> std::optional<ArrayPtr> kitPropertyArray(const IPropertyInfo* property) {
    if (const auto* scalar = dynamic_cast<const kit::TScalarProperty<T>*>(property))
        return scalarArray<T>(scalar->value);
    if (const auto* vector = dynamic_cast<const kit::TVectorProperty<T>*>(property))
        return vectorArray<T>(vector->values, vector->count);
    return std::nullopt;
}

// Tries the element types in the order given and converts at the first match.
template <class... T> ArrayPtr firstKitMatch(const IPropertyInfo* property) {
    std::optional<ArrayPtr> made;
    static_cast<void>((... || (made = kitPropertyArray<T>(property)).has_value()));
    return made.has_value() ? std::move(*made) : nullptr;
}

// A new 1-by-N cell array holding one char row per string.
ArrayPtr stringListArray(const mobilesensor::StringVectorProperty& property) {
    const std::vector<std::string> strings = property.getValue();
    const std::array<std::size_t, 2> dimensions = {1, strings.size()};
    ArrayPtr cells(tvCreateCellArray(dimensions.size(), dimensions.data()));
    if (cells == nullptr)
        return nullptr;
    for (std::size_t i = 0; i < strings.size(); ++i) {
        ArrayPtr text(tvCreateString(strings[i].c_str()));
        if (text == nullptr)
            return nullptr;
        tvSetCell(cells.get(), i, text.release());
    }
    return cells;
}

} // namespace

tvArray* propertyArray(const IPropertyInfo* property) {
    if (const auto* list = dynamic_cast<const mobilesensor::StringVectorProperty*>(property))
        return stringListArray(*list).release();
    return firstKitMatch<double, bool, conduit::kit::ustring, std::string, float, std::int8_t,
                         std::uint8_t, std::int16_t, std::uint16_t, std::int32_t, std::uint32_t,
                         std::int64_t, std::uint64_t>(property)
        .release();
}

} // namespace kineconvert
