#pragma once

#include "../interfaces/property_info.h"

#include <string>
#include <type_traits>

namespace conduit::kit::device {

// A named single value. Users read the public value field directly.
template <class T> class TScalarProperty : public interfaces::IPropertyInfo {
    // Numbers and bool by value, strings by const reference.
    using Argument = std::conditional_t<std::is_arithmetic_v<T>, T, const T&>;

public:
    TScalarProperty(const char* propertyName, Argument initialValue)
        : name(propertyName), value(initialValue) {}

    const char* getName() const override { return name.c_str(); }
    void destroy() override { delete this; }

    std::string name;
    T value;

protected:
    ~TScalarProperty() override = default;
};

} // namespace conduit::kit::device
