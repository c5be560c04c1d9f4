#pragma once

#include "conduit/tvarray/tv_array.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <vector>

// The numeric rows of the correspondence between kit element types and host
// classes, with values that show a wrong width, sign or order.

namespace kineconvert::testing {

template <class T, tvClassID Class> struct Numeric {
    using Type = T;
    static constexpr tvClassID classID = Class;
    // Extremes of the type and a value in between, in an order a sort would change.
    static std::vector<T> values() {
        return {std::numeric_limits<T>::max(), std::numeric_limits<T>::lowest(), static_cast<T>(7)};
    }
};

// Typed tests are named after the host class ("int16"), not the C++ type.
struct HostClassName {
    template <class Row> static std::string GetName(int) {
        switch (Row::classID) {
        case tvDOUBLE_CLASS:
            return "double";
        case tvSINGLE_CLASS:
            return "single";
        case tvINT8_CLASS:
            return "int8";
        case tvUINT8_CLASS:
            return "uint8";
        case tvINT16_CLASS:
            return "int16";
        case tvUINT16_CLASS:
            return "uint16";
        case tvINT32_CLASS:
            return "int32";
        case tvUINT32_CLASS:
            return "uint32";
        case tvINT64_CLASS:
            return "int64";
        case tvUINT64_CLASS:
            return "uint64";
        default:
            return "other";
        }
    }
};

using NumericTypes =
    ::testing::Types<Numeric<double, tvDOUBLE_CLASS>, Numeric<float, tvSINGLE_CLASS>,
                     Numeric<std::int8_t, tvINT8_CLASS>, Numeric<std::uint8_t, tvUINT8_CLASS>,
                     Numeric<std::int16_t, tvINT16_CLASS>, Numeric<std::uint16_t, tvUINT16_CLASS>,
                     Numeric<std::int32_t, tvINT32_CLASS>, Numeric<std::uint32_t, tvUINT32_CLASS>,
                     Numeric<std::int64_t, tvINT64_CLASS>, Numeric<std::uint64_t, tvUINT64_CLASS>>;

} // namespace kineconvert::testing
