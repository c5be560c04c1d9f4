#include "array_to_property.h"

#include "conduit/kit/scalar_property.h"
#include "conduit/kit/vector_property.h"
#include "element_classes.h"
#include "host_array.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>

namespace kineconvert {

namespace {

namespace kit = conduit::kit::device;
using conduit::interfaces::IPropertyInfo;

// Element i of the host's real data. Host elements need not be aligned for T, and a
// logical byte may hold any non-zero value for true, so each is copied out bytewise.
template <class T> T element(const unsigned char* data, std::size_t i) {
    if constexpr (std::is_same_v<T, bool>) {
        return data[i] != 0;
    } else {
        T value;
        std::memcpy(&value, data + i * sizeof(T), sizeof(T));
        return value;
    }
}

// The property of a numeric or logical value whose elements are of type T.
template <class T> IPropertyInfo* elementProperty(const char* name, const tvArray* value) {
    const std::size_t count = tvGetNumberOfElements(value);
    const auto* data = static_cast<const unsigned char*>(tvGetData(value));
    if (count == 0 || data == nullptr)
        return nullptr;
    if (count == 1)
        return new kit::TScalarProperty<T>(name, element<T>(data, 0));
    if (tvGetNumberOfDimensions(value) != 2)
        return nullptr;
    // Storage order is column by column, and so is the property's.
    std::unique_ptr<T[]> values(new T[count]);
    for (std::size_t i = 0; i < count; ++i)
        values[i] = element<T>(data, i);
    return new kit::TVectorProperty<T>(name, values.get(), count);
}

// The property of a char value: its whole text, in storage order.
IPropertyInfo* textProperty(const char* name, const tvArray* value) {
    if (!tvIsChar(value))
        return nullptr;
    HostTextPtr text(tvArrayToString(value));
    if (text == nullptr)
        return nullptr;
    const std::string copy(text.get());
    text.reset();
    return new kit::TScalarProperty<std::string>(name, copy);
}

// The property of a numeric or logical value of T's host class.
template <class T> IPropertyInfo* propertyOfClass(const char* name, const tvArray* value) {
    if (tvGetClassID(value) != HostClass<T>::id)
        return nullptr;
    return elementProperty<T>(name, value);
}

using Step = IPropertyInfo* (*)(const char*, const tvArray*);

// One step per class, in a fixed order; the first that makes a property wins.
constexpr Step STEPS[] = {
    propertyOfClass<double>,        propertyOfClass<bool>,          textProperty,
    propertyOfClass<float>,         propertyOfClass<std::int8_t>,   propertyOfClass<std::uint8_t>,
    propertyOfClass<std::int16_t>,  propertyOfClass<std::uint16_t>, propertyOfClass<std::int32_t>,
    propertyOfClass<std::uint32_t>, propertyOfClass<std::int64_t>,  propertyOfClass<std::uint64_t>};

} // namespace

IPropertyInfo* arrayProperty(const char* name, const tvArray* value) {
    if (name == nullptr || value == nullptr)
        return nullptr;
    for (Step step : STEPS) {
        if (IPropertyInfo* made = step(name, value))
            return made;
    }
    return nullptr;
}

} // namespace kineconvert
