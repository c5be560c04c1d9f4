#pragma once

#include "conduit/interfaces/property_info.h"
#include "conduit/tvarray/tv_array.h"

// A host value as a kit property: one element gives a TScalarProperty, a 2-D value
// of two or more elements a TVectorProperty of all its elements column by column,
// and a char value a TScalarProperty<std::string> of its UTF-8 text.

namespace kineconvert {

// A new property called name, released by its holder with destroy(); null when the
// value has no property form (cell, struct or another class, no elements, more than
// two dimensions) or the host could not give its text. Throws only std::bad_alloc
// (and std::bad_array_new_length for a value too large to copy).
conduit::interfaces::IPropertyInfo* arrayProperty(const char* name, const tvArray* value);

} // namespace kineconvert
