// The stand-in host's array library: the host values that converters and
// extension modules build. A value is a class, a shape (two or more dimensions,
// column-major) and its storage: raw element bytes for numeric, logical and char
// arrays, owned element pointers for cell and structure arrays.

#include "conduit/tvarray/tv_array.h"

#include "field_names.h"
#include "host/i18n/unicode.h"
#include "small_storage.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

using korvex::tvarray::FieldNames;
using korvex::tvarray::SmallStorage;

struct tvArray_tag {
    tvClassID classID = tvUNKNOWN_CLASS;
    SmallStorage<size_t, 2> dimensions;
    size_t elementCount = 0;
    SmallStorage<unsigned char, 48> real; // numeric, logical and char elements
    SmallStorage<unsigned char, 8> imaginary;
    bool complex = false;
    FieldNames fieldNames;          // of a structure
    std::vector<tvArray*> children; // cells, or elementCount x fieldCount struct slots

    ~tvArray_tag() {
        for (tvArray* child : children)
            delete child;
    }
};

namespace {

size_t elementSize(tvClassID classID) {
    switch (classID) {
    case tvLOGICAL_CLASS:
    case tvINT8_CLASS:
    case tvUINT8_CLASS:
        return 1;
    case tvCHAR_CLASS:
    case tvINT16_CLASS:
    case tvUINT16_CLASS:
        return 2;
    case tvSINGLE_CLASS:
    case tvINT32_CLASS:
    case tvUINT32_CLASS:
        return 4;
    case tvDOUBLE_CLASS:
    case tvINT64_CLASS:
    case tvUINT64_CLASS:
        return 8;
    default:
        return 0;
    }
}

bool isNumeric(tvClassID classID) { return classID >= tvDOUBLE_CLASS && classID <= tvUINT64_CLASS; }

// A shape as the host keeps it: trailing singleton dimensions beyond the second
// are dropped, and fewer than two are padded (none: 0-by-1, one: n-by-1). It points
// into the caller's dimensions, which must outlive it.
class Shape {
public:
    Shape(size_t dimensionCount, const size_t* dimensions) {
        while (dimensionCount > 2 && dimensions[dimensionCount - 1] == 1)
            --dimensionCount;
        if (dimensionCount >= 2) {
            given = dimensions;
            size_ = dimensionCount;
        } else {
            padded[0] = dimensionCount == 0 ? 0 : dimensions[0];
        }
    }
    Shape(const Shape&) = delete;
    Shape& operator=(const Shape&) = delete;

    const size_t* data() const { return given != nullptr ? given : padded; }
    size_t size() const { return size_; }

private:
    const size_t* given = nullptr;
    size_t padded[2] = {0, 1};
    size_t size_ = 2;
};

// Product of the dimensions, or false when it overflows (or the bytes would).
bool countElements(const Shape& shape, size_t bytesPerElement, size_t& count) {
    size_t product = 1;
    for (size_t d = 0; d < shape.size(); ++d) {
        const size_t dimension = shape.data()[d];
        if (dimension != 0 && product > std::numeric_limits<size_t>::max() / dimension)
            return false;
        product *= dimension;
    }
    if (bytesPerElement != 0 && product > std::numeric_limits<size_t>::max() / bytesPerElement)
        return false;
    count = product;
    return true;
}

tvArray* make(tvClassID classID, const Shape& shape, bool complex = false) {
    try {
        size_t count = 0;
        const size_t bytes = elementSize(classID);
        if (!countElements(shape, bytes, count))
            return nullptr;
        auto array = std::make_unique<tvArray>();
        array->classID = classID;
        array->dimensions.assign(shape.data(), shape.size());
        array->elementCount = count;
        array->real.assign(count * bytes, 0);
        if (complex) {
            array->complex = true;
            array->imaginary.assign(count * bytes, 0);
        }
        return array.release();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

tvArray* makeMatrix(tvClassID classID, size_t rows, size_t columns) {
    const size_t dimensions[] = {rows, columns};
    return make(classID, Shape(2, dimensions));
}

constexpr size_t NO_FIELD = std::numeric_limits<size_t>::max();

// Position of a structure's field, or NO_FIELD. A converter sets every field of
// every reading by name: the lengths are compared before the characters.
size_t fieldIndex(const tvArray* structure, const char* fieldName) {
    if (structure == nullptr || fieldName == nullptr || structure->classID != tvSTRUCT_CLASS)
        return NO_FIELD;
    const size_t length = std::strlen(fieldName);
    for (size_t f = 0; f < structure->fieldNames.size(); ++f) {
        const std::string& name = structure->fieldNames[f];
        if (name.size() == length && std::memcmp(name.data(), fieldName, length) == 0)
            return f;
    }
    return NO_FIELD;
}

tvArray* makeCharRow(const std::basic_string<tvChar>& units) {
    tvArray* array = makeMatrix(tvCHAR_CLASS, 1, units.size());
    if (array != nullptr && !units.empty())
        std::memcpy(array->real.data(), units.data(), units.size() * sizeof(tvChar));
    return array;
}

} // namespace

extern "C" {

tvArray* tvCreateStructMatrix(size_t rows, size_t columns, int fieldCount,
                              const char** fieldNames) {
    if (fieldCount < 0 || (fieldCount > 0 && fieldNames == nullptr))
        return nullptr;
    tvArray* array = makeMatrix(tvSTRUCT_CLASS, rows, columns);
    if (array == nullptr)
        return nullptr;
    try {
        array->fieldNames = FieldNames::of(static_cast<size_t>(fieldCount), fieldNames);
        array->children.assign(array->elementCount * static_cast<size_t>(fieldCount), nullptr);
    } catch (const std::exception&) {
        delete array;
        return nullptr;
    }
    return array;
}

tvArray* tvCreateNumericMatrix(size_t rows, size_t columns, tvClassID classID,
                               tvComplexity complexity) {
    const size_t shape[] = {rows, columns};
    return tvCreateNumericArray(2, shape, classID, complexity);
}

tvArray* tvCreateNumericArray(size_t dimensionCount, const size_t* dimensions, tvClassID classID,
                              tvComplexity complexity) {
    if (!isNumeric(classID) || (dimensionCount > 0 && dimensions == nullptr))
        return nullptr;
    return make(classID, Shape(dimensionCount, dimensions), complexity == tvCOMPLEX);
}

tvArray* tvCreateLogicalMatrix(size_t rows, size_t columns) {
    return makeMatrix(tvLOGICAL_CLASS, rows, columns);
}

tvArray* tvCreateLogicalScalar(bool value) {
    tvArray* array = makeMatrix(tvLOGICAL_CLASS, 1, 1);
    if (array != nullptr)
        array->real[0] = value ? 1 : 0;
    return array;
}

tvArray* tvCreateDoubleScalar(double value) {
    tvArray* array = makeMatrix(tvDOUBLE_CLASS, 1, 1);
    if (array != nullptr)
        std::memcpy(array->real.data(), &value, sizeof value);
    return array;
}

tvArray* tvCreateString(const char* text) {
    if (text == nullptr)
        return nullptr;
    try {
        return makeCharRow(korvex::unicode::utf8ToUtf16<tvChar>(text, std::strlen(text)));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

tvArray* tvCreateStringFromWide(const tvChar* units, size_t count) {
    if (units == nullptr && count != 0)
        return nullptr;
    try {
        return makeCharRow(std::basic_string<tvChar>(units, count));
    } catch (const std::exception&) {
        return nullptr;
    }
}

tvArray* tvCreateCellArray(size_t dimensionCount, const size_t* dimensions) {
    if (dimensionCount > 0 && dimensions == nullptr)
        return nullptr;
    try {
        // Held until complete: a failed allocation of the cells must not leak the array.
        std::unique_ptr<tvArray> array(make(tvCELL_CLASS, Shape(dimensionCount, dimensions)));
        if (array != nullptr)
            array->children.assign(array->elementCount, nullptr);
        return array.release();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void tvSetField(tvArray* structure, size_t index, const char* fieldName, tvArray* value) {
    const size_t field = fieldIndex(structure, fieldName);
    // The value was handed over: when it cannot be stored it is released here.
    if (field == NO_FIELD || index >= structure->elementCount) {
        tvDestroyArray(value);
        return;
    }
    tvArray*& slot = structure->children[index * structure->fieldNames.size() + field];
    if (slot != value)
        tvDestroyArray(slot);
    slot = value;
}

void tvSetCell(tvArray* cells, size_t index, tvArray* value) {
    if (cells == nullptr || cells->classID != tvCELL_CLASS || index >= cells->elementCount) {
        tvDestroyArray(value);
        return;
    }
    tvArray*& slot = cells->children[index];
    if (slot != value)
        tvDestroyArray(slot);
    slot = value;
}

void* tvGetData(const tvArray* array) {
    if (array == nullptr || array->real.empty())
        return nullptr;
    return const_cast<unsigned char*>(array->real.data());
}

void* tvGetImagData(const tvArray* array) {
    if (array == nullptr || array->imaginary.empty())
        return nullptr;
    return const_cast<unsigned char*>(array->imaginary.data());
}

tvClassID tvGetClassID(const tvArray* array) {
    return array != nullptr ? array->classID : tvUNKNOWN_CLASS;
}

bool tvIsChar(const tvArray* array) { return tvGetClassID(array) == tvCHAR_CLASS; }

bool tvIsComplex(const tvArray* array) { return array != nullptr && array->complex; }

size_t tvGetNumberOfElements(const tvArray* array) {
    return array != nullptr ? array->elementCount : 0;
}

size_t tvGetNumberOfDimensions(const tvArray* array) {
    return array != nullptr ? array->dimensions.size() : 0;
}

const size_t* tvGetDimensions(const tvArray* array) {
    return array != nullptr ? array->dimensions.data() : nullptr;
}

size_t tvGetM(const tvArray* array) { return array != nullptr ? array->dimensions[0] : 0; }

size_t tvGetN(const tvArray* array) {
    if (array == nullptr)
        return 0;
    size_t columns = 1;
    for (size_t d = 1; d < array->dimensions.size(); ++d)
        columns *= array->dimensions[d];
    return columns;
}

tvArray* tvGetField(const tvArray* structure, size_t index, const char* fieldName) {
    const size_t field = fieldIndex(structure, fieldName);
    if (field == NO_FIELD || index >= structure->elementCount)
        return nullptr;
    return structure->children[index * structure->fieldNames.size() + field];
}

tvArray* tvGetFieldByNumber(const tvArray* structure, size_t index, int number) {
    if (structure == nullptr || structure->classID != tvSTRUCT_CLASS || number < 0 ||
        static_cast<size_t>(number) >= structure->fieldNames.size() ||
        index >= structure->elementCount)
        return nullptr;
    return structure->children[index * structure->fieldNames.size() + static_cast<size_t>(number)];
}

int tvGetNumberOfFields(const tvArray* structure) {
    return structure != nullptr ? static_cast<int>(structure->fieldNames.size()) : 0;
}

const char* tvGetFieldNameByNumber(const tvArray* structure, int number) {
    if (structure == nullptr || number < 0 ||
        static_cast<size_t>(number) >= structure->fieldNames.size())
        return nullptr;
    return structure->fieldNames[static_cast<size_t>(number)].c_str();
}

tvArray* tvGetCell(const tvArray* cells, size_t index) {
    if (cells == nullptr || cells->classID != tvCELL_CLASS || index >= cells->elementCount)
        return nullptr;
    return cells->children[index];
}

char* tvArrayToString(const tvArray* array) {
    if (!tvIsChar(array))
        return nullptr;
    try {
        const std::string text = korvex::unicode::utf16ToUtf8(
            reinterpret_cast<const tvChar*>(array->real.data()), array->elementCount);
        auto* copy = static_cast<char*>(std::malloc(text.size() + 1));
        if (copy != nullptr)
            std::memcpy(copy, text.c_str(), text.size() + 1);
        return copy;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void tvFree(void* memory) { std::free(memory); }

void tvDestroyArray(tvArray* array) { delete array; }

} // extern "C"
