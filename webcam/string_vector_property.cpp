#include "string_vector_property.h"

namespace webcam {

StringVectorProperty::StringVectorProperty(const char* propertyName, const std::string* strings,
                                           std::size_t count)
    : name(propertyName) {
    values.reserve(count);
    values.assign(strings, strings + count);
}

const char* StringVectorProperty::getName() const { return name.c_str(); }

void StringVectorProperty::destroy() { delete this; }

std::vector<std::string> StringVectorProperty::getValue() const { return values; }

StringVectorProperty::~StringVectorProperty() = default;

} // namespace webcam
