// A property shown as a host value and assigned back keeps its type and value.

#include "conduit/kit/scalar_property.h"
#include "conduit/kit/vector_property.h"
#include "converter_fixture.h"
#include "element_types.h"
#include "host/property_list.h"

#include <optional>
#include <string>
#include <vector>

namespace {

namespace kit = conduit::kit::device;
using namespace kineconvert::testing;
using korvex::host::scalarValue;
using korvex::host::vectorValue;

class RoundTrip : public ConverterTest {
protected:
    // The property through the host and back, under the same name.
    PropertyPtr roundTrip(conduit::interfaces::IPropertyInfo* property) {
        Array shown(converter->convertProperty(property));
        EXPECT_NE(nullptr, shown);
        return PropertyPtr(converter->convertToProperty(property->getName(), shown.get()));
    }
};

template <class Row> class NumericRoundTrip : public RoundTrip {};
TYPED_TEST_SUITE(NumericRoundTrip, NumericTypes, HostClassName);

TYPED_TEST(NumericRoundTrip, ScalarsAndVectorsComeBackUnchanged) {
    using T = typename TypeParam::Type;
    const std::vector<T> values = TypeParam::values();
    for (const T value : values) {
        PropertyPtr scalar(new kit::TScalarProperty<T>("Value", value));
        PropertyPtr back = this->roundTrip(scalar.get());
        ASSERT_NE(nullptr, back);
        EXPECT_STREQ("Value", back->getName());
        EXPECT_EQ(std::optional<T>(value), scalarValue<T>(back.get()));
    }
    PropertyPtr vector(new kit::TVectorProperty<T>("Values", values.data(), values.size()));
    EXPECT_EQ(std::optional<std::vector<T>>(values),
              vectorValue<T>(this->roundTrip(vector.get()).get()));
}

TEST_F(RoundTrip, LogicalsAndTextComeBackUnchanged) {
    PropertyPtr flag(new kit::TScalarProperty<bool>("Flag", false));
    EXPECT_EQ(std::optional<bool>(false), scalarValue<bool>(roundTrip(flag.get()).get()));

    const bool flags[] = {false, true, true};
    PropertyPtr vector(new kit::TVectorProperty<bool>("Flags", flags, 3));
    EXPECT_EQ(std::optional<std::vector<bool>>({false, true, true}),
              vectorValue<bool>(roundTrip(vector.get()).get()));

    for (const std::string text : {"", "10.0.0.5", "\xE6\x9D\xB1\xE4\xBA\xAC \xF0\x9F\x98\x80"}) {
        PropertyPtr property(new kit::TScalarProperty<std::string>("IPAddress", text));
        EXPECT_EQ(std::optional<std::string>(text),
                  scalarValue<std::string>(roundTrip(property.get()).get()));
    }
}

TEST_F(RoundTrip, OneElementVectorComesBackAsScalar) {
    // A 1-by-1 value is a scalar, whatever it was made from.
    const double one[] = {2.5};
    PropertyPtr vector(new kit::TVectorProperty<double>("Value", one, 1));
    PropertyPtr back = roundTrip(vector.get());
    EXPECT_EQ(std::optional<double>(2.5), scalarValue<double>(back.get()));
}

} // namespace
