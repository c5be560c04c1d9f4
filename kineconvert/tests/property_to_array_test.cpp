// Properties made on the host's side, shown as host values by the loaded plug-in.

#include "conduit/kit/scalar_property.h"
#include "conduit/kit/ustring.h"
#include "conduit/kit/vector_property.h"
#include "converter_fixture.h"
#include "element_types.h"
#include "mobilesensor/string_vector_property.h"

#include <cstdint>
#include <string>
#include <vector>

namespace {

namespace kit = conduit::kit::device;
using namespace kineconvert::testing;
using conduit::kit::uchar;
using conduit::kit::ustring;

template <class T> PropertyPtr scalarProperty(const char* name, const T& value) {
    return PropertyPtr(new kit::TScalarProperty<T>(name, value));
}
template <class T> PropertyPtr vectorProperty(const char* name, const std::vector<T>& values) {
    return PropertyPtr(new kit::TVectorProperty<T>(name, values.data(), values.size()));
}

// "Grüße 😀" (a character outside the Basic Multilingual Plane takes two units).
const std::string GREETING_UTF8 = "Gr\xC3\xBC\xC3\x9F\x65 \xF0\x9F\x98\x80";
const std::vector<uchar> GREETING_UTF16 = {0x47, 0x72, 0xFC, 0xDF, 0x65, 0x20, 0xD83D, 0xDE00};

std::vector<uchar> unitsOf(const tvArray* array) { return elementsOf<uchar>(array); }

template <class Row> class NumericPropertyToArray : public ConverterTest {};
TYPED_TEST_SUITE(NumericPropertyToArray, NumericTypes, HostClassName);

TYPED_TEST(NumericPropertyToArray, ScalarBecomesOneByOneValueOfItsClass) {
    using T = typename TypeParam::Type;
    for (const T value : TypeParam::values()) {
        PropertyPtr property = scalarProperty<T>("Value", value);
        Array array(this->converter->convertProperty(property.get()));
        ASSERT_NE(nullptr, array);
        EXPECT_EQ(TypeParam::classID, tvGetClassID(array.get()));
        EXPECT_EQ((std::vector<std::size_t>{1, 1}), shapeOf(array.get()));
        EXPECT_EQ(std::vector<T>{value}, elementsOf<T>(array.get()));
    }
}

TYPED_TEST(NumericPropertyToArray, VectorBecomesRowInOrder) {
    using T = typename TypeParam::Type;
    const std::vector<T> values = TypeParam::values();
    PropertyPtr property = vectorProperty<T>("Values", values);
    Array array(this->converter->convertProperty(property.get()));
    ASSERT_NE(nullptr, array);
    EXPECT_EQ(TypeParam::classID, tvGetClassID(array.get()));
    EXPECT_EQ((std::vector<std::size_t>{1, values.size()}), shapeOf(array.get()));
    EXPECT_EQ(values, elementsOf<T>(array.get()));
}

TYPED_TEST(NumericPropertyToArray, EmptyVectorBecomesOneByZeroRow) {
    using T = typename TypeParam::Type;
    PropertyPtr property(new kit::TVectorProperty<T>("Nothing", nullptr, 0));
    Array array(this->converter->convertProperty(property.get()));
    ASSERT_NE(nullptr, array);
    EXPECT_EQ(TypeParam::classID, tvGetClassID(array.get()));
    EXPECT_EQ((std::vector<std::size_t>{1, 0}), shapeOf(array.get()));
}

using PropertyToArray = ConverterTest;

TEST_F(PropertyToArray, BoolScalarBecomesLogical) {
    for (const bool value : {true, false}) {
        PropertyPtr property = scalarProperty<bool>("Flag", value);
        Array array(converter->convertProperty(property.get()));
        ASSERT_NE(nullptr, array);
        EXPECT_EQ(tvLOGICAL_CLASS, tvGetClassID(array.get()));
        EXPECT_EQ((std::vector<std::size_t>{1, 1}), shapeOf(array.get()));
        EXPECT_EQ(std::vector<unsigned char>{static_cast<unsigned char>(value ? 1 : 0)},
                  elementsOf<unsigned char>(array.get()));
    }
}

TEST_F(PropertyToArray, BoolVectorBecomesLogicalRowOfTheSameLength) {
    const bool values[] = {true, false, false, true, true};
    PropertyPtr property(new kit::TVectorProperty<bool>("Flags", values, 5));
    Array array(converter->convertProperty(property.get()));
    ASSERT_NE(nullptr, array);
    EXPECT_EQ(tvLOGICAL_CLASS, tvGetClassID(array.get()));
    EXPECT_EQ((std::vector<std::size_t>{1, 5}), shapeOf(array.get()));
    EXPECT_EQ((std::vector<unsigned char>{1, 0, 0, 1, 1}), elementsOf<unsigned char>(array.get()));

    PropertyPtr none(new kit::TVectorProperty<bool>("Flags", nullptr, 0));
    Array empty(converter->convertProperty(none.get()));
    ASSERT_NE(nullptr, empty);
    EXPECT_EQ(tvLOGICAL_CLASS, tvGetClassID(empty.get()));
    EXPECT_EQ((std::vector<std::size_t>{1, 0}), shapeOf(empty.get()));
}

TEST_F(PropertyToArray, NarrowTextBecomesCharRowOfUtf16Units) {
    PropertyPtr property = scalarProperty<std::string>("IPAddress", GREETING_UTF8);
    Array array(converter->convertProperty(property.get()));
    ASSERT_NE(nullptr, array);
    EXPECT_TRUE(tvIsChar(array.get()));
    EXPECT_EQ((std::vector<std::size_t>{1, GREETING_UTF16.size()}), shapeOf(array.get()));
    EXPECT_EQ(GREETING_UTF16, unitsOf(array.get()));
    EXPECT_EQ(GREETING_UTF8, textOf(array.get()));

    PropertyPtr empty = scalarProperty<std::string>("IPAddress", "");
    Array emptyArray(converter->convertProperty(empty.get()));
    ASSERT_NE(nullptr, emptyArray);
    EXPECT_TRUE(tvIsChar(emptyArray.get()));
    EXPECT_EQ(0u, tvGetNumberOfElements(emptyArray.get()));
}

TEST_F(PropertyToArray, Utf16TextBecomesCharRowOfTheSameUnits) {
    const ustring text(GREETING_UTF16.begin(), GREETING_UTF16.end());
    PropertyPtr property = scalarProperty<ustring>("InputFrameType", text);
    Array array(converter->convertProperty(property.get()));
    ASSERT_NE(nullptr, array);
    EXPECT_TRUE(tvIsChar(array.get()));
    EXPECT_EQ((std::vector<std::size_t>{1, GREETING_UTF16.size()}), shapeOf(array.get()));
    EXPECT_EQ(GREETING_UTF16, unitsOf(array.get()));
    EXPECT_EQ(GREETING_UTF8, textOf(array.get()));
}

TEST_F(PropertyToArray, ListsOfTextsHaveNoHostForm) {
    const std::string narrow[] = {"a", "b"};
    PropertyPtr narrowList(new kit::TVectorProperty<std::string>("Words", narrow, 2));
    EXPECT_EQ(nullptr, converter->convertProperty(narrowList.get()));
    const ustring wide[] = {ustring(1, uchar('a'))};
    PropertyPtr wideList(new kit::TVectorProperty<ustring>("Words", wide, 1));
    EXPECT_EQ(nullptr, converter->convertProperty(wideList.get()));
}

TEST_F(PropertyToArray, StringListBecomesCellRowOfCharRows) {
    const std::string addresses[] = {"10.0.0.5", GREETING_UTF8};
    PropertyPtr property(
        new mobilesensor::StringVectorProperty("AvailableInterfaces", addresses, 2));
    Array cells(converter->convertProperty(property.get()));
    ASSERT_NE(nullptr, cells);
    EXPECT_EQ(tvCELL_CLASS, tvGetClassID(cells.get()));
    EXPECT_EQ((std::vector<std::size_t>{1, 2}), shapeOf(cells.get()));
    for (std::size_t i = 0; i < 2; ++i) {
        const tvArray* cell = tvGetCell(cells.get(), i);
        ASSERT_NE(nullptr, cell) << i;
        EXPECT_TRUE(tvIsChar(cell));
        EXPECT_EQ(1u, tvGetM(cell));
        EXPECT_EQ(addresses[i], textOf(cell));
    }
}

TEST_F(PropertyToArray, EmptyStringListBecomesOneByZeroCell) {
    PropertyPtr property(new mobilesensor::StringVectorProperty("AvailableInterfaces", nullptr, 0));
    Array cells(converter->convertProperty(property.get()));
    ASSERT_NE(nullptr, cells);
    EXPECT_EQ(tvCELL_CLASS, tvGetClassID(cells.get()));
    EXPECT_EQ((std::vector<std::size_t>{1, 0}), shapeOf(cells.get()));
}

// A property class of another module that the converter knows nothing about.
class OpaqueProperty : public conduit::interfaces::IPropertyInfo {
public:
    const char* getName() const override { return "Opaque"; }
    void destroy() override { delete this; }
};

TEST_F(PropertyToArray, PropertiesWithoutAHostFormGiveNull) {
    PropertyPtr opaque(new OpaqueProperty());
    EXPECT_EQ(nullptr, converter->convertProperty(opaque.get()));
    // Kit properties of element types outside the correspondence.
    PropertyPtr plainChar = scalarProperty<char>("Letter", 'x');
    EXPECT_EQ(nullptr, converter->convertProperty(plainChar.get()));
    const long double wide[] = {1.0L};
    PropertyPtr longDouble(new kit::TVectorProperty<long double>("Wide", wide, 1));
    EXPECT_EQ(nullptr, converter->convertProperty(longDouble.get()));
    EXPECT_EQ(nullptr, converter->convertProperty(nullptr));
}

} // namespace
