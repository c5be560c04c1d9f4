#include "conduit/kit/kit.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace {

namespace kit = conduit::kit::device;
using conduit::interfaces::device::PropertyList;

// Owns the properties of a list for the length of a test.
struct OwnedList {
    PropertyList list;
    ~OwnedList() {
        for (auto* property : list)
            conduit::kit::release(property);
    }
};

TEST(OptionLookup, EmptyListGivesTheDefault) {
    const PropertyList empty;
    EXPECT_EQ("default", kit::getScalarOptionValue<std::string>(empty, "IPAddress", "default"));
}

TEST(OptionLookup, OnlyTheFirstElementOfTheNameCounts) {
    OwnedList options;
    options.list.push_back(new kit::TScalarProperty<std::string>("PortNumber", "50000"));
    options.list.push_back(new kit::TScalarProperty<double>("PortNumber", 50000.0));
    // The first "PortNumber" has the wrong type; the second is never looked at.
    EXPECT_EQ(7.0, kit::getScalarOptionValue<double>(options.list, "PortNumber", 7.0));
    EXPECT_EQ("50000", kit::getScalarOptionValue<std::string>(options.list, "PortNumber", ""));
}

TEST(OptionLookup, NamesMatchWholeAndCaseSensitive) {
    OwnedList options;
    options.list.push_back(new kit::TScalarProperty<double>("PortNumber", 1.0));
    EXPECT_EQ(0.0, kit::getScalarOptionValue<double>(options.list, "Port", 0.0));
    EXPECT_EQ(0.0, kit::getScalarOptionValue<double>(options.list, "portnumber", 0.0));
    EXPECT_EQ(0.0, kit::getScalarOptionValue<double>(options.list, "PortNumberX", 0.0));
    EXPECT_EQ(1.0, kit::getScalarOptionValue<double>(options.list, "PortNumber", 0.0));
}

TEST(OptionLookup, UStringOptions) {
    OwnedList options;
    const conduit::kit::ustring value = {u'R', u'G', u'B'};
    options.list.push_back(
        new kit::TScalarProperty<conduit::kit::ustring>("InputFrameType", value));
    EXPECT_EQ(value,
              kit::getScalarOptionValue<conduit::kit::ustring>(options.list, "InputFrameType", {}));
    // A narrow string option is not a UTF-16 one.
    EXPECT_EQ(std::string("none"),
              kit::getScalarOptionValue<std::string>(options.list, "InputFrameType", "none"));
}

TEST(VectorProperty, CopiesItsValuesAndMayBeEmpty) {
    std::int32_t values[] = {4, 5, 6};
    auto* vector = new kit::TVectorProperty<std::int32_t>("Values", values, 3);
    values[0] = 99; // the property holds its own copy
    EXPECT_EQ(4, vector->values[0]);
    EXPECT_EQ(3u, vector->count);
    conduit::kit::release(vector);

    auto* empty = new kit::TVectorProperty<double>("Empty", nullptr, 0);
    EXPECT_STREQ("Empty", empty->getName());
    EXPECT_EQ(0u, empty->count);
    conduit::kit::release(empty);

    const std::string words[] = {"a", "b"};
    auto* strings = new kit::TVectorProperty<std::string>("Words", words, 2);
    EXPECT_EQ("b", strings->values[1]);
    conduit::kit::release(strings);
}

TEST(Messages, ErrorAndWarningCarryTheirKind) {
    conduit::interfaces::IMessageInfo* error =
        new kit::ErrorInfo("KORVEX:kinedgram:invalidPort", "Port number must be less than 65536.");
    EXPECT_STREQ("error", error->getType());
    EXPECT_STREQ("KORVEX:kinedgram:invalidPort", error->getID());
    EXPECT_STREQ("Port number must be less than 65536.", error->getText());
    conduit::kit::release(error);

    conduit::interfaces::IMessageInfo* warning = new kit::WarningInfo("", "");
    EXPECT_STREQ("warning", warning->getType());
    EXPECT_STREQ("", warning->getID());
    conduit::kit::release(warning);
}

// Every element type of the kit can be instantiated both ways.
template <class T> void instantiate(const T& value) {
    conduit::kit::release(new kit::TScalarProperty<T>("s", value));
    conduit::kit::release(new kit::TVectorProperty<T>("v", &value, 1));
}

TEST(KitTypes, EveryElementTypeInstantiates) {
    instantiate(1.0);
    instantiate(true);
    instantiate(1.0f);
    instantiate<signed char>(-1);
    instantiate<std::uint8_t>(1);
    instantiate<std::int16_t>(-1);
    instantiate<std::uint16_t>(1);
    instantiate<std::int32_t>(-1);
    instantiate<std::uint32_t>(1);
    instantiate<std::int64_t>(-1);
    instantiate<std::uint64_t>(1);
    instantiate(std::string("text"));
    instantiate(conduit::kit::ustring{'t', 'e', 'x', 't'});
}

TEST(KitRelease, UniquePtrWithReleaser) {
    std::unique_ptr<conduit::interfaces::IPropertyInfo, conduit::kit::Releaser> property(
        new kit::TScalarProperty<bool>("Flag", true));
    EXPECT_STREQ("Flag", property->getName());
    std::unique_ptr<conduit::interfaces::IPropertyInfo, conduit::kit::Releaser> none;
    none.reset(); // null: nothing called
}

} // namespace
