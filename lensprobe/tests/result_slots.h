#pragma once

#include "conduit/tvarray/tv_array.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

// Reads extension results back through the host array API, as the host does.

namespace lensprobe::testing {

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

// The text of a char row, read with tvArrayToString.
inline std::string textOf(const tvArray* array) {
    char* raw = tvArrayToString(array);
    EXPECT_NE(nullptr, raw) << "not a char array";
    if (raw == nullptr)
        return {};
    std::string text(raw);
    tvFree(raw);
    return text;
}

// Expects a logical scalar and gives its value.
inline bool logicalScalar(const tvArray* array) {
    EXPECT_EQ(tvLOGICAL_CLASS, tvGetClassID(array));
    EXPECT_EQ(1u, tvGetM(array));
    EXPECT_EQ(1u, tvGetN(array));
    const auto* data = static_cast<const unsigned char*>(tvGetData(array));
    return data != nullptr && *data != 0;
}

// Expects a 1-by-N cell array of char rows (0-by-0 when empty) and gives the texts.
inline std::vector<std::string> cellTexts(const tvArray* cells) {
    std::vector<std::string> texts;
    EXPECT_EQ(tvCELL_CLASS, tvGetClassID(cells));
    if (tvGetClassID(cells) != tvCELL_CLASS)
        return texts;
    const size_t count = tvGetN(cells);
    if (count == 0) {
        EXPECT_EQ(0u, tvGetM(cells)) << "an empty list is 0-by-0";
        return texts;
    }
    EXPECT_EQ(1u, tvGetM(cells));
    for (size_t i = 0; i < count; ++i) {
        const tvArray* cell = tvGetCell(cells, i);
        EXPECT_EQ(tvCHAR_CLASS, tvGetClassID(cell)) << "cell " << i;
        EXPECT_EQ(1u, tvGetM(cell)) << "cell " << i;
        texts.push_back(textOf(cell));
    }
    return texts;
}

} // namespace lensprobe::testing
