#pragma once

#include "conduit/tvarray/tv_array.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

// Reads extension results back through the host array API, as the host does.

namespace lenslist::testing {

// Three result slots that release whatever the extension left in them.
struct ResultSlots {
    tvArray* slots[3] = {nullptr, nullptr, nullptr};

    ResultSlots() = default;
    ResultSlots(const ResultSlots&) = delete;
    ResultSlots& operator=(const ResultSlots&) = delete;
    ~ResultSlots() {
        for (tvArray* slot : slots)
            tvDestroyArray(slot);
    }
};

// Expects a logical scalar and gives its value.
inline bool logicalScalar(const tvArray* array) {
    EXPECT_EQ(tvLOGICAL_CLASS, tvGetClassID(array));
    EXPECT_EQ(1u, tvGetNumberOfElements(array));
    const auto* data = static_cast<const unsigned char*>(tvGetData(array));
    return data != nullptr && *data != 0;
}

// Expects a cell array that is 1-by-N, or 0-by-0 when empty, and gives N.
inline size_t cellRowLength(const tvArray* cells) {
    EXPECT_EQ(tvCELL_CLASS, tvGetClassID(cells));
    EXPECT_EQ(2u, tvGetNumberOfDimensions(cells));
    const size_t count = tvGetN(cells);
    EXPECT_EQ(count == 0 ? 0u : 1u, tvGetM(cells)) << "1-by-N, or 0-by-0 when empty";
    return tvGetClassID(cells) == tvCELL_CLASS ? count : 0;
}

// The texts of a row of char-row cells, read with tvArrayToString.
inline std::vector<std::string> cellTexts(const tvArray* cells) {
    std::vector<std::string> texts;
    const size_t count = cellRowLength(cells);
    for (size_t i = 0; i < count; ++i) {
        const tvArray* cell = tvGetCell(cells, i);
        EXPECT_EQ(tvCHAR_CLASS, tvGetClassID(cell)) << "cell " << i;
        char* raw = tvArrayToString(cell);
        texts.emplace_back(raw != nullptr ? raw : "<not a char array>");
        tvFree(raw);
    }
    return texts;
}

// The values of a row of double-scalar cells.
inline std::vector<double> cellDoubles(const tvArray* cells) {
    std::vector<double> values;
    const size_t count = cellRowLength(cells);
    for (size_t i = 0; i < count; ++i) {
        const tvArray* cell = tvGetCell(cells, i);
        EXPECT_EQ(tvDOUBLE_CLASS, tvGetClassID(cell)) << "cell " << i;
        EXPECT_EQ(1u, tvGetNumberOfElements(cell)) << "cell " << i;
        const auto* data = static_cast<const double*>(tvGetData(cell));
        values.push_back(data != nullptr ? *data : -1.0);
    }
    return values;
}

} // namespace lenslist::testing
