#pragma once

#include "conduit/interfaces/property_info.h"

#include <functional>
#include <optional>
#include <string>

// Shows a property's value as text, for the host's programs. Kit properties of
// every element type are known; a library with property classes of its own
// registers a describer for them.

namespace korvex::host {

using PropertyDescriber =
    std::function<std::optional<std::string>(const conduit::interfaces::IPropertyInfo*)>;

void registerPropertyDescriber(PropertyDescriber describer);

// The value as text, for example 50000, "10.0.0.5" or [1, 2, 3].
std::string propertyText(const conduit::interfaces::IPropertyInfo* property);

} // namespace korvex::host
