#pragma once

#include "conduit/interfaces/property_info.h"
#include "kinelink_export.h"

#include <cstddef>
#include <string>
#include <vector>

namespace mobilesensor {

// A property whose value is a list of strings: the sensor devices publish the
// computer's addresses with it as "AvailableInterfaces", and the converter shows it
// as a cell array. Made with new, released by its holder with destroy().
class KINELINK_EXPORT StringVectorProperty : public conduit::interfaces::IPropertyInfo {
public:
    // Copies the name and the first count strings of values, in order; count may be
    // 0 (values may then be null). Null values with a count throws
    // std::invalid_argument; otherwise only allocation failures throw.
    StringVectorProperty(const char* propertyName, const std::string* values, std::size_t count);
    // Copies name and value: the copies are independent.
    StringVectorProperty(const StringVectorProperty& other);
    StringVectorProperty& operator=(const StringVectorProperty& other);

    // any thread; valid while the object lives
    const char* getName() const override;
    // the holder, once
    void destroy() override;

    // A copy of the list.
    std::vector<std::string> getValue() const;

protected:
    // Holders release through destroy().
    ~StringVectorProperty() override;

private:
    std::string name_;
    std::vector<std::string> value_;
};

} // namespace mobilesensor
