#pragma once

#include "conduit/interfaces/converter.h"
#include "conduit/kit/release.h"
#include "conduit/tvarray/tv_array.h"
#include "host/plugin_loader.h"

#include <cstddef>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

// The converter as the host uses it: the built plug-in loaded by name and its
// converter made through createConverter. Host values are read back through the
// host array API only.

namespace kineconvert::testing {

struct ArrayDestroyer {
    void operator()(tvArray* array) const { tvDestroyArray(array); }
};
using Array = std::unique_ptr<tvArray, ArrayDestroyer>;
using PropertyPtr = std::unique_ptr<conduit::interfaces::IPropertyInfo, conduit::kit::Releaser>;

class ConverterTest : public ::testing::Test {
protected:
    // Declared before the converter: the library outlives everything it made.
    korvex::host::PluginLibrary library{korvex::host::pluginPath("kineconvert")};
    korvex::host::ConverterPtr converter = library.createConverter();
};

// The elements of a numeric or logical value, in storage order.
template <class T> std::vector<T> elementsOf(const tvArray* array) {
    std::vector<T> values(tvGetNumberOfElements(array));
    if (!values.empty())
        std::memcpy(values.data(), tvGetData(array), values.size() * sizeof(T));
    return values;
}

// The dimensions of a value.
inline std::vector<std::size_t> shapeOf(const tvArray* array) {
    const std::size_t* dimensions = tvGetDimensions(array);
    return std::vector<std::size_t>(dimensions, dimensions + tvGetNumberOfDimensions(array));
}

// The UTF-8 text of a char value, or "<null>".
inline std::string textOf(const tvArray* array) {
    char* text = tvArrayToString(array);
    if (text == nullptr)
        return "<null>";
    std::string copy(text);
    tvFree(text);
    return copy;
}

// A new real numeric value of the given shape and class holding the elements in
// storage order (column by column).
template <class T>
Array hostArray(tvClassID classID, const std::vector<std::size_t>& shape,
                const std::vector<T>& columnMajor) {
    Array array(tvCreateNumericArray(shape.size(), shape.data(), classID, tvREAL));
    if (array != nullptr && !columnMajor.empty())
        std::memcpy(tvGetData(array.get()), columnMajor.data(), columnMajor.size() * sizeof(T));
    return array;
}

// A new logical value holding the given bytes, one per element, column by column.
inline Array hostLogical(std::size_t rows, std::size_t columns,
                         const std::vector<unsigned char>& bytes) {
    Array array(tvCreateLogicalMatrix(rows, columns));
    if (array != nullptr && !bytes.empty())
        std::memcpy(tvGetData(array.get()), bytes.data(), bytes.size());
    return array;
}

} // namespace kineconvert::testing
