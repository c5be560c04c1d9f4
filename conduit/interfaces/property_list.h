#pragma once

#include "property_info.h"

#include <vector>

namespace conduit::interfaces::device {

// Ordered list of property pointers with the layout of a std::vector. Whoever fills
// a list appends objects made with new; the list itself never releases them.
using PropertyList = std::vector<IPropertyInfo*>;

} // namespace conduit::interfaces::device
