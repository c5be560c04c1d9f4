#pragma once

#include "../interfaces/property_list.h"
#include "scalar_property.h"

#include <cstring>

namespace conduit::kit::device {

// The first element of options whose name equals name exactly (byte-wise,
// case-sensitive, whole string), or null. Later elements are never looked at.
inline interfaces::IPropertyInfo* findOption(const interfaces::device::PropertyList& options,
                                             const char* name) {
    for (interfaces::IPropertyInfo* option : options) {
        if (option != nullptr && std::strcmp(option->getName(), name) == 0)
            return option;
    }
    return nullptr;
}

// The value of the first option called name when it is a TScalarProperty<T>;
// defaultValue when there is no such option or the first one has another type.
template <class T>
T getScalarOptionValue(const interfaces::device::PropertyList& options, const char* name,
                       T defaultValue) {
    const auto* match = dynamic_cast<const TScalarProperty<T>*>(findOption(options, name));
    return match != nullptr ? match->value : defaultValue;
}

} // namespace conduit::kit::device
