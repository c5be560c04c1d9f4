#include "string_vector_property.h"

#include <stdexcept>

namespace mobilesensor {

namespace {
const char* nameOrEmpty(const char* name) { return name != nullptr ? name : ""; }
} // namespace

StringVectorProperty::StringVectorProperty(const char* propertyName, const std::string* values,
                                           std::size_t count)
    : name_(nameOrEmpty(propertyName)) {
    if (values == nullptr && count != 0)
        throw std::invalid_argument("StringVectorProperty: no strings to copy");
    if (count != 0)
        value_.assign(values, values + count);
}

StringVectorProperty::StringVectorProperty(const StringVectorProperty& other) = default;

StringVectorProperty& StringVectorProperty::operator=(const StringVectorProperty& other) = default;

StringVectorProperty::~StringVectorProperty() = default;

const char* StringVectorProperty::getName() const { return name_.c_str(); }

void StringVectorProperty::destroy() { delete this; }

std::vector<std::string> StringVectorProperty::getValue() const { return value_; }

} // namespace mobilesensor
