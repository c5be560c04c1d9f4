#include "conduit/interfaces/data_buffer.h"
#include "conduit/interfaces/device.h"
#include "conduit/kit/kit.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <limits>
#include <memory>
#include <string>
#include <typeinfo>

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

// A property of every element type of the kit holds the value it was given (the
// extremes of each type, so that a narrowing on the way shows), and a vector
// property its own copy of the elements.
template <class T> void expectHeld(const T& value) {
    auto* scalar = new kit::TScalarProperty<T>("s", value);
    EXPECT_STREQ("s", scalar->getName());
    EXPECT_EQ(value, scalar->value);
    conduit::kit::release(scalar);
    auto* vector = new kit::TVectorProperty<T>("v", &value, 1);
    EXPECT_STREQ("v", vector->getName());
    EXPECT_EQ(1u, vector->count);
    EXPECT_NE(&value, vector->values);
    EXPECT_EQ(value, vector->values[0]);
    conduit::kit::release(vector);
}

template <class T> void expectExtremesHeld() {
    SCOPED_TRACE(typeid(T).name());
    expectHeld(std::numeric_limits<T>::lowest());
    expectHeld(std::numeric_limits<T>::max());
}

TEST(KitTypes, EveryElementTypeHoldsItsValue) {
    expectExtremesHeld<double>();
    expectHeld(std::numeric_limits<double>::denorm_min());
    expectExtremesHeld<float>();
    expectHeld(true);
    expectHeld(false);
    expectExtremesHeld<signed char>();
    expectExtremesHeld<std::uint8_t>();
    expectExtremesHeld<std::int16_t>();
    expectExtremesHeld<std::uint16_t>();
    expectExtremesHeld<std::int32_t>();
    expectExtremesHeld<std::uint32_t>();
    expectExtremesHeld<std::int64_t>();
    expectExtremesHeld<std::uint64_t>();
    expectHeld(std::string("text"));
    expectHeld(conduit::kit::ustring{'t', 'e', 'x', 't'});
}

// Counts how it was released.
struct Destroyable {
    int destroyed = 0;
    void destroy() { ++destroyed; }
};

// Has both: devices and filters end with term().
struct Terminable : Destroyable {
    int terminated = 0;
    void term() { ++terminated; }
};

TEST(KitRelease, DestroyOrTermOnceAndNullIsSkipped) {
    Destroyable property;
    conduit::kit::release(&property);
    EXPECT_EQ(1, property.destroyed);

    Terminable device;
    conduit::kit::release(&device);
    EXPECT_EQ(1, device.terminated);
    EXPECT_EQ(0, device.destroyed);
    { const std::unique_ptr<Terminable, conduit::kit::Releaser> held(&device); }
    EXPECT_EQ(2, device.terminated);

    // Calling through a null pointer would crash here.
    conduit::kit::release(static_cast<Destroyable*>(nullptr));
    conduit::kit::release(static_cast<conduit::interfaces::device::IControl*>(nullptr));
    conduit::kit::release(static_cast<conduit::interfaces::IPropertyInfo*>(nullptr));
    conduit::kit::release(static_cast<conduit::interfaces::IDataBuffer*>(nullptr));
    { const std::unique_ptr<Destroyable, conduit::kit::Releaser> none; }
}

} // namespace
