#pragma once

#include "conduit/tvarray/tv_array.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <limits>
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

using NumericTypes =
    ::testing::Types<Numeric<double, tvDOUBLE_CLASS>, Numeric<float, tvSINGLE_CLASS>,
                     Numeric<std::int8_t, tvINT8_CLASS>, Numeric<std::uint8_t, tvUINT8_CLASS>,
                     Numeric<std::int16_t, tvINT16_CLASS>, Numeric<std::uint16_t, tvUINT16_CLASS>,
                     Numeric<std::int32_t, tvINT32_CLASS>, Numeric<std::uint32_t, tvUINT32_CLASS>,
                     Numeric<std::int64_t, tvINT64_CLASS>, Numeric<std::uint64_t, tvUINT64_CLASS>>;

} // namespace kineconvert::testing
