// Host values of any class and small shape, with any element bytes, assigned to a
// property and shown again: the property must hold exactly the value's elements
// (or be null where the value has no property form), every property made must have
// a host form, and that host form must come back as the same property. Everything
// made is released, so the sanitizers see any leak.
//
// Input: byte 0 picks the class (modulo 16, so cell, struct, char, unknown and
// unused identifiers come up too); byte 1 gives the number of dimensions (1 + its
// low two bits) and, in bit 2, a complex value; then one byte per dimension (modulo
// 4, so 0-sized and 3-D shapes are common); the remaining bytes fill the elements,
// repeated as often as needed.

#include "conduit/kit/release.h"
#include "conduit/kit/scalar_property.h"
#include "conduit/kit/vector_property.h"
#include "conduit/tvarray/tv_array.h"
#include "kineconvert/korvex_converter.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

namespace kit = conduit::kit::device;
using conduit::interfaces::IPropertyInfo;

struct ArrayDestroyer {
    void operator()(tvArray* array) const { tvDestroyArray(array); }
};
using Array = std::unique_ptr<tvArray, ArrayDestroyer>;
using PropertyPtr = std::unique_ptr<IPropertyInfo, conduit::kit::Releaser>;

void check(bool condition) {
    if (!condition)
        std::abort();
}

// Fills size bytes from the payload, repeating it; zeros when there is none.
void fill(void* target, std::size_t size, const std::uint8_t* payload, std::size_t length) {
    auto* bytes = static_cast<std::uint8_t*>(target);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = length != 0 ? payload[i % length] : 0;
}

std::size_t product(const std::vector<std::size_t>& shape) {
    std::size_t count = 1;
    for (std::size_t d : shape)
        count *= d;
    return count;
}

std::size_t elementWidth(tvClassID classID) {
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
    default:
        return 8;
    }
}

// A host value of the class and shape the input asks for, or null.
Array makeValue(tvClassID classID, const std::vector<std::size_t>& shape, bool complex,
                const std::uint8_t* payload, std::size_t length) {
    const std::size_t count = product(shape);
    switch (classID) {
    case tvCELL_CLASS: {
        Array cells(tvCreateCellArray(shape.size(), shape.data()));
        // Some cells hold a number, others stay unset.
        for (std::size_t i = 0; cells != nullptr && i < count; ++i) {
            if (length != 0 && payload[i % length] % 2 == 0)
                tvSetCell(cells.get(), i, tvCreateDoubleScalar(static_cast<double>(i)));
        }
        return cells;
    }
    case tvSTRUCT_CLASS: {
        const char* names[] = {"X", "Y"};
        Array structure(
            tvCreateStructMatrix(shape[0], count / (shape[0] ? shape[0] : 1), 2, names));
        if (structure != nullptr && count != 0)
            tvSetField(structure.get(), 0, "Y", tvCreateDoubleScalar(1.0));
        return structure;
    }
    case tvLOGICAL_CLASS: {
        Array logical(tvCreateLogicalMatrix(shape[0], count / (shape[0] ? shape[0] : 1)));
        if (logical != nullptr && tvGetData(logical.get()) != nullptr)
            fill(tvGetData(logical.get()), tvGetNumberOfElements(logical.get()), payload, length);
        return logical;
    }
    case tvCHAR_CLASS: {
        // Any UTF-16 units, unpaired surrogates included.
        std::vector<tvChar> units(count);
        fill(units.data(), count * sizeof(tvChar), payload, length);
        return Array(tvCreateStringFromWide(units.data(), units.size()));
    }
    default: {
        Array numeric(tvCreateNumericArray(shape.size(), shape.data(), classID,
                                           complex ? tvCOMPLEX : tvREAL));
        const std::size_t bytes = tvGetNumberOfElements(numeric.get()) * elementWidth(classID);
        if (numeric != nullptr && bytes != 0) {
            fill(tvGetData(numeric.get()), bytes, payload, length);
            if (complex)
                fill(tvGetImagData(numeric.get()), bytes, payload + length / 2,
                     length - length / 2);
        }
        return numeric; // null for classes that are not numeric
    }
    }
}

// The elements of a kit property of element type T as bytes (bool as 0 or 1), with
// whether it is a scalar; nullopt when the property is not of type T.
template <class T>
std::optional<std::vector<std::uint8_t>> bytesOf(const IPropertyInfo* property, bool& scalar) {
    std::vector<std::uint8_t> bytes;
    auto append = [&bytes](const T& value) {
        if constexpr (std::is_same_v<T, bool>) {
            bytes.push_back(value ? 1 : 0);
        } else {
            const auto* raw = reinterpret_cast<const std::uint8_t*>(&value);
            bytes.insert(bytes.end(), raw, raw + sizeof(T));
        }
    };
    if (const auto* s = dynamic_cast<const kit::TScalarProperty<T>*>(property)) {
        scalar = true;
        append(s->value);
        return bytes;
    }
    if (const auto* v = dynamic_cast<const kit::TVectorProperty<T>*>(property)) {
        scalar = false;
        for (std::size_t i = 0; i < v->count; ++i)
            append(v->values[i]);
        return bytes;
    }
    return std::nullopt;
}

// The class, shape kind and element bytes of a numeric or logical kit property.
struct Contents {
    tvClassID classID = tvUNKNOWN_CLASS;
    bool scalar = false;
    std::vector<std::uint8_t> bytes;
};

template <class T> bool tryContents(const IPropertyInfo* property, tvClassID id, Contents& out) {
    if (auto bytes = bytesOf<T>(property, out.scalar)) {
        out.classID = id;
        out.bytes = std::move(*bytes);
        return true;
    }
    return false;
}

std::optional<Contents> contentsOf(const IPropertyInfo* property) {
    Contents c;
    if (tryContents<double>(property, tvDOUBLE_CLASS, c) ||
        tryContents<bool>(property, tvLOGICAL_CLASS, c) ||
        tryContents<float>(property, tvSINGLE_CLASS, c) ||
        tryContents<std::int8_t>(property, tvINT8_CLASS, c) ||
        tryContents<std::uint8_t>(property, tvUINT8_CLASS, c) ||
        tryContents<std::int16_t>(property, tvINT16_CLASS, c) ||
        tryContents<std::uint16_t>(property, tvUINT16_CLASS, c) ||
        tryContents<std::int32_t>(property, tvINT32_CLASS, c) ||
        tryContents<std::uint32_t>(property, tvUINT32_CLASS, c) ||
        tryContents<std::int64_t>(property, tvINT64_CLASS, c) ||
        tryContents<std::uint64_t>(property, tvUINT64_CLASS, c))
        return c;
    return std::nullopt;
}

std::optional<std::string> textOf(const IPropertyInfo* property) {
    if (const auto* s = dynamic_cast<const kit::TScalarProperty<std::string>*>(property))
        return s->value;
    return std::nullopt;
}

std::string hostText(const tvArray* value) {
    char* text = tvArrayToString(value);
    check(text != nullptr);
    std::string copy(text);
    tvFree(text);
    return copy;
}

// The property must hold exactly what the host value holds.
void checkAgainstValue(const IPropertyInfo* property, const tvArray* value) {
    const tvClassID classID = tvGetClassID(value);
    const std::size_t count = tvGetNumberOfElements(value);
    if (classID == tvCHAR_CLASS) {
        check(property != nullptr && textOf(property) == hostText(value));
        return;
    }
    const bool numeric =
        classID == tvLOGICAL_CLASS || (classID >= tvDOUBLE_CLASS && classID <= tvUINT64_CLASS);
    const bool hasForm =
        numeric && (count == 1 || (count >= 2 && tvGetNumberOfDimensions(value) == 2));
    check((property != nullptr) == hasForm);
    if (!hasForm)
        return;
    const std::optional<Contents> contents = contentsOf(property);
    check(contents.has_value() && contents->classID == classID && contents->scalar == (count == 1));
    const auto* data = static_cast<const std::uint8_t*>(tvGetData(value));
    std::vector<std::uint8_t> expected(data, data + count * elementWidth(classID));
    if (classID == tvLOGICAL_CLASS) {
        for (std::uint8_t& b : expected)
            b = b != 0 ? 1 : 0;
    }
    check(contents->bytes == expected);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    const auto classID = static_cast<tvClassID>(data[0] % 16);
    const std::size_t dimensionCount = 1 + (data[1] & 3u);
    const bool complex = (data[1] & 4u) != 0;
    if (size < 2 + dimensionCount)
        return 0;
    std::vector<std::size_t> shape;
    for (std::size_t d = 0; d < dimensionCount; ++d)
        shape.push_back(data[2 + d] % 4u);
    const std::uint8_t* payload = data + 2 + dimensionCount;
    const std::size_t length = size - 2 - dimensionCount;

    Array value = makeValue(classID, shape, complex, payload, length);
    if (value == nullptr)
        return 0;

    static auto* converter = new mobilesensor::KorvexConverter();
    PropertyPtr property(converter->convertToProperty("Fuzz", value.get()));
    checkAgainstValue(property.get(), value.get());
    if (property == nullptr)
        return 0;

    // Every property the converter makes has a host form, which comes back unchanged.
    Array shown(converter->convertProperty(property.get()));
    check(shown != nullptr);
    PropertyPtr back(converter->convertToProperty("Fuzz", shown.get()));
    check(back != nullptr && std::strcmp(back->getName(), "Fuzz") == 0);
    if (const auto text = textOf(property.get())) {
        check(textOf(back.get()) == text);
    } else {
        const auto before = contentsOf(property.get());
        const auto after = contentsOf(back.get());
        check(before && after && before->classID == after->classID &&
              before->scalar == after->scalar && before->bytes == after->bytes);
    }
    return 0;
}
