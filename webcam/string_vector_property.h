#pragma once

#include "conduit/interfaces/property_info.h"
#include "pixcore_export.h"

#include <cstddef>
#include <string>
#include <vector>

namespace webcam {

// A property whose value is a list of strings (the capture device's
// "AvailableResolutions").
class PIXCORE_EXPORT StringVectorProperty : public conduit::interfaces::IPropertyInfo {
public:
    // Copies the name and the first count strings of values, in order. A count beyond
    // what a vector can hold throws std::length_error.
    StringVectorProperty(const char* propertyName, const std::string* values, std::size_t count);

    const char* getName() const override;
    void destroy() override;

    // A copy of the list.
    std::vector<std::string> getValue() const;

protected:
    ~StringVectorProperty() override;

private:
    std::string name;
    std::vector<std::string> values;
};

} // namespace webcam
