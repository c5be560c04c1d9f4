#pragma once

#include "conduit/tvarray/tv_array.h"

#include <memory>

// Ownership of host values while a conversion builds them. A value is the
// converter's until it is stored in a structure or a cell (tvSetField and tvSetCell
// take it over) or returned; when a step fails half-way, whatever is still held here
// is destroyed, so a failed conversion leaves nothing behind.

namespace kineconvert {

struct ArrayDestroyer {
    void operator()(tvArray* array) const noexcept { tvDestroyArray(array); }
};
using ArrayPtr = std::unique_ptr<tvArray, ArrayDestroyer>;

// Text that tvArrayToString made, released with tvFree.
struct HostTextFreer {
    void operator()(char* text) const noexcept { tvFree(text); }
};
using HostTextPtr = std::unique_ptr<char, HostTextFreer>;

} // namespace kineconvert
