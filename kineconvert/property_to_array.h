#pragma once

#include "conduit/interfaces/property_info.h"
#include "conduit/tvarray/tv_array.h"

// A property as a host value: a kit scalar as a 1-by-1 value, a kit vector as a
// 1-by-N row, a narrow or UTF-16 text scalar as a char row, and the sensor
// family's string list as a 1-by-N cell array of char rows.

namespace kineconvert {

// A new host value owned by the caller, or null when the property has no host form
// (a list of texts, a class the converter does not know) or the host could not make
// the value; nothing is left allocated then. Throws only std::bad_alloc.
tvArray* propertyArray(const conduit::interfaces::IPropertyInfo* property);

} // namespace kineconvert
