#include "mobilesensor/string_vector_property.h"

#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using conduit::interfaces::IPropertyInfo;
using mobilesensor::StringVectorProperty;
using Strings = std::vector<std::string>;

struct Release {
    void operator()(StringVectorProperty* property) const { property->destroy(); }
};
using PropertyPtr = std::unique_ptr<StringVectorProperty, Release>;

TEST(StringVectorProperty, KeepsTheNameAndTheStringsInOrder) {
    const std::string values[] = {"192.168.1.10", "10.0.0.5", "not copied"};
    const PropertyPtr property(new StringVectorProperty("AvailableInterfaces", values, 2));
    EXPECT_STREQ("AvailableInterfaces", property->getName());
    EXPECT_EQ((Strings{"192.168.1.10", "10.0.0.5"}), property->getValue());
}

TEST(StringVectorProperty, HoldsAnEmptyListForCountZero) {
    const PropertyPtr property(new StringVectorProperty("AvailableInterfaces", nullptr, 0));
    EXPECT_STREQ("AvailableInterfaces", property->getName());
    EXPECT_TRUE(property->getValue().empty());
}

TEST(StringVectorProperty, RefusesNullStringsWithACount) {
    EXPECT_THROW((new StringVectorProperty("AvailableInterfaces", nullptr, 2))->destroy(),
                 std::invalid_argument);
}

TEST(StringVectorProperty, CopiesAreIndependentOfTheirOriginal) {
    const std::string first[] = {"a", "b"};
    const std::string second[] = {"c"};
    const PropertyPtr original(new StringVectorProperty("First", first, 2));
    const PropertyPtr copy(new StringVectorProperty(*original));
    const PropertyPtr other(new StringVectorProperty("Second", second, 1));

    // Assigning the original a new value leaves the copy as it was.
    *original = *other;
    EXPECT_STREQ("Second", original->getName());
    EXPECT_EQ(Strings{"c"}, original->getValue());
    EXPECT_STREQ("First", copy->getName());
    EXPECT_EQ((Strings{"a", "b"}), copy->getValue());

    // And the assigned value does not follow its source either.
    *other = *copy;
    EXPECT_EQ(Strings{"c"}, original->getValue());
}

TEST(StringVectorProperty, GetValueReturnsACopy) {
    const std::string values[] = {"x"};
    const PropertyPtr property(new StringVectorProperty("P", values, 1));
    Strings taken = property->getValue();
    taken.push_back("y");
    EXPECT_EQ(Strings{"x"}, property->getValue());
}

TEST(StringVectorProperty, IsReleasedAndRecognisedThroughTheInterface) {
    const std::string values[] = {"x"};
    IPropertyInfo* property = new StringVectorProperty("P", values, 1);
    // The converter recognises the class by its dynamic type.
    ASSERT_NE(nullptr, dynamic_cast<StringVectorProperty*>(property));
    EXPECT_STREQ("P", property->getName());
    property->destroy();
}

} // namespace
