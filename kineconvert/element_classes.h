#pragma once

#include "conduit/tvarray/tv_array.h"

#include <cstdint>

// Which host class holds each element type of the kit's properties. Host elements
// are packed at the class's width, so each C++ type must have exactly that width.

namespace kineconvert {

template <class T> struct HostClass;

template <> struct HostClass<bool> { static constexpr tvClassID id = tvLOGICAL_CLASS; };
template <> struct HostClass<double> { static constexpr tvClassID id = tvDOUBLE_CLASS; };
template <> struct HostClass<float> { static constexpr tvClassID id = tvSINGLE_CLASS; };
template <> struct HostClass<std::int8_t> { static constexpr tvClassID id = tvINT8_CLASS; };
template <> struct HostClass<std::uint8_t> { static constexpr tvClassID id = tvUINT8_CLASS; };
template <> struct HostClass<std::int16_t> { static constexpr tvClassID id = tvINT16_CLASS; };
template <> struct HostClass<std::uint16_t> { static constexpr tvClassID id = tvUINT16_CLASS; };
template <> struct HostClass<std::int32_t> { static constexpr tvClassID id = tvINT32_CLASS; };
template <> struct HostClass<std::uint32_t> { static constexpr tvClassID id = tvUINT32_CLASS; };
template <> struct HostClass<std::int64_t> { static constexpr tvClassID id = tvINT64_CLASS; };
template <> struct HostClass<std::uint64_t> { static constexpr tvClassID id = tvUINT64_CLASS; };

static_assert(sizeof(double) == 8 && sizeof(float) == 4, "host floating-point widths");
static_assert(sizeof(tvChar) == 2, "host char elements are UTF-16 code units");

} // namespace kineconvert
