// Host values made through the host array API, turned into kit properties by the
// loaded plug-in.

#include "conduit/kit/scalar_property.h"
#include "conduit/kit/vector_property.h"
#include "converter_fixture.h"
#include "element_types.h"
#include "host/property_list.h"

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace kineconvert::testing;
using korvex::host::scalarValue;
using korvex::host::vectorValue;

template <class Row> class NumericArrayToProperty : public ConverterTest {
protected:
    PropertyPtr convert(const std::vector<std::size_t>& shape,
                        const std::vector<typename Row::Type>& values) {
        Array array = hostArray<typename Row::Type>(Row::classID, shape, values);
        EXPECT_NE(nullptr, array);
        return PropertyPtr(this->converter->convertToProperty("PortNumber", array.get()));
    }
};
TYPED_TEST_SUITE(NumericArrayToProperty, NumericTypes, HostClassName);

TYPED_TEST(NumericArrayToProperty, OneElementBecomesScalarOfItsType) {
    using T = typename TypeParam::Type;
    for (const T value : TypeParam::values()) {
        PropertyPtr property = this->convert({1, 1}, {value});
        ASSERT_NE(nullptr, property);
        EXPECT_STREQ("PortNumber", property->getName());
        EXPECT_EQ(std::optional<T>(value), scalarValue<T>(property.get()));
        EXPECT_FALSE(vectorValue<T>(property.get()).has_value());
    }
}

TYPED_TEST(NumericArrayToProperty, RowBecomesVectorOfAllElements) {
    using T = typename TypeParam::Type;
    const std::vector<T> values = TypeParam::values();
    PropertyPtr property = this->convert({1, values.size()}, values);
    ASSERT_NE(nullptr, property);
    EXPECT_EQ(std::optional<std::vector<T>>(values), vectorValue<T>(property.get()));
    // A column is read the same way.
    PropertyPtr column = this->convert({values.size(), 1}, values);
    EXPECT_EQ(std::optional<std::vector<T>>(values), vectorValue<T>(column.get()));
}

TYPED_TEST(NumericArrayToProperty, MatrixBecomesVectorInColumnOrder) {
    using T = typename TypeParam::Type;
    // Elements (row, column) of a 2-by-3 matrix, stored column by column.
    const std::vector<T> columnMajor = {T(11), T(21), T(12), T(22), T(13), T(23)};
    PropertyPtr property = this->convert({2, 3}, columnMajor);
    ASSERT_NE(nullptr, property);
    EXPECT_EQ(std::optional<std::vector<T>>(columnMajor), vectorValue<T>(property.get()));
}

TYPED_TEST(NumericArrayToProperty, EmptyAndThreeDimensionalValuesGiveNull) {
    using T = typename TypeParam::Type;
    EXPECT_EQ(nullptr, this->convert({0, 0}, {}));
    EXPECT_EQ(nullptr, this->convert({1, 0}, {}));
    EXPECT_EQ(nullptr, this->convert({0, 3}, {}));
    EXPECT_EQ(nullptr, this->convert({2, 2, 2}, std::vector<T>(8, T(1))));
    EXPECT_EQ(nullptr, this->convert({1, 2, 3}, std::vector<T>(6, T(1))));
}

TYPED_TEST(NumericArrayToProperty, OnlyTheRealPartIsRead) {
    using T = typename TypeParam::Type;
    const std::size_t shape[] = {1, 2};
    Array complex(tvCreateNumericArray(2, shape, TypeParam::classID, tvCOMPLEX));
    ASSERT_NE(nullptr, complex);
    const T real[] = {T(3), T(4)};
    const T imaginary[] = {T(9), T(9)};
    std::memcpy(tvGetData(complex.get()), real, sizeof real);
    std::memcpy(tvGetImagData(complex.get()), imaginary, sizeof imaginary);
    PropertyPtr property(this->converter->convertToProperty("Complex", complex.get()));
    EXPECT_EQ(std::optional<std::vector<T>>(std::vector<T>{T(3), T(4)}),
              vectorValue<T>(property.get()));
}

using ArrayToProperty = ConverterTest;

TEST_F(ArrayToProperty, DoubleScalarBecomesDoubleProperty) {
    Array five(tvCreateDoubleScalar(5.0));
    PropertyPtr property(converter->convertToProperty("PortNumber", five.get()));
    ASSERT_NE(nullptr, property);
    EXPECT_STREQ("PortNumber", property->getName());
    EXPECT_EQ(std::optional<double>(5.0), scalarValue<double>(property.get()));
}

TEST_F(ArrayToProperty, Int16MatrixBecomesFourValuesInColumnOrder) {
    // [1 2; 3 4] is stored as 1, 3, 2, 4.
    Array matrix = hostArray<std::int16_t>(tvINT16_CLASS, {2, 2}, {1, 3, 2, -4});
    PropertyPtr property(converter->convertToProperty("Matrix", matrix.get()));
    EXPECT_EQ(std::optional<std::vector<std::int16_t>>({1, 3, 2, -4}),
              vectorValue<std::int16_t>(property.get()));
}

TEST_F(ArrayToProperty, LogicalValuesKeepTheirTruth) {
    Array yes(tvCreateLogicalScalar(true));
    PropertyPtr scalar(converter->convertToProperty("Flag", yes.get()));
    EXPECT_EQ(std::optional<bool>(true), scalarValue<bool>(scalar.get()));

    // Any non-zero byte is true.
    Array row = hostLogical(1, 4, {0, 1, 2, 0x80});
    PropertyPtr vector(converter->convertToProperty("Flags", row.get()));
    EXPECT_EQ(std::optional<std::vector<bool>>({false, true, true, true}),
              vectorValue<bool>(vector.get()));

    Array single = hostLogical(1, 1, {0x40});
    PropertyPtr truthy(converter->convertToProperty("Flag", single.get()));
    EXPECT_EQ(std::optional<bool>(true), scalarValue<bool>(truthy.get()));

    Array empty = hostLogical(0, 0, {});
    EXPECT_EQ(nullptr, PropertyPtr(converter->convertToProperty("Flags", empty.get())));
}

TEST_F(ArrayToProperty, CharValueBecomesTextScalar) {
    const struct {
        const char* name;
        std::string text;
    } cases[] = {
        {"three letters", "abc"},
        {"empty", ""},
        {"outside ASCII", "Gr\xC3\xBC\xC3\x9F\x65 \xE2\x82\xAC \xF0\x9F\x98\x80"},
        {"one letter", "x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Array text(tvCreateString(c.text.c_str()));
        ASSERT_NE(nullptr, text);
        PropertyPtr property(converter->convertToProperty("IPAddress", text.get()));
        ASSERT_NE(nullptr, property);
        EXPECT_STREQ("IPAddress", property->getName());
        EXPECT_EQ(std::optional<std::string>(c.text), scalarValue<std::string>(property.get()));
    }
}

TEST_F(ArrayToProperty, Utf16UnitsArriveAsUtf8) {
    const tvChar units[] = {0x44, 0xE9, 0x20AC, 0xD83D, 0xDE00};
    Array text(tvCreateStringFromWide(units, 5));
    PropertyPtr property(converter->convertToProperty("Name", text.get()));
    EXPECT_EQ(std::optional<std::string>("D\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"),
              scalarValue<std::string>(property.get()));
}

TEST_F(ArrayToProperty, CellsStructsAndNullGiveNull) {
    const std::size_t row[] = {1, 2};
    Array cells(tvCreateCellArray(2, row));
    tvSetCell(cells.get(), 0, tvCreateDoubleScalar(1.0));
    EXPECT_EQ(nullptr, PropertyPtr(converter->convertToProperty("Cells", cells.get())));
    const std::size_t one[] = {1, 1};
    Array cell(tvCreateCellArray(2, one));
    tvSetCell(cell.get(), 0, tvCreateDoubleScalar(1.0));
    EXPECT_EQ(nullptr, PropertyPtr(converter->convertToProperty("Cell", cell.get())));

    const char* names[] = {"X"};
    Array structure(tvCreateStructMatrix(1, 1, 1, names));
    tvSetField(structure.get(), 0, "X", tvCreateDoubleScalar(1.0));
    EXPECT_EQ(nullptr, PropertyPtr(converter->convertToProperty("Struct", structure.get())));

    Array five(tvCreateDoubleScalar(5.0));
    EXPECT_EQ(nullptr, PropertyPtr(converter->convertToProperty("Empty", nullptr)));
    EXPECT_EQ(nullptr, PropertyPtr(converter->convertToProperty(nullptr, five.get())));
}

TEST_F(ArrayToProperty, TheValueStaysTheCallers) {
    Array row = hostArray<double>(tvDOUBLE_CLASS, {1, 2}, {1.5, 2.5});
    PropertyPtr first(converter->convertToProperty("Row", row.get()));
    PropertyPtr second(converter->convertToProperty("Row", row.get()));
    EXPECT_EQ(std::optional<std::vector<double>>({1.5, 2.5}), vectorValue<double>(second.get()));
    EXPECT_EQ((std::vector<double>{1.5, 2.5}), elementsOf<double>(row.get()));
}

} // namespace
