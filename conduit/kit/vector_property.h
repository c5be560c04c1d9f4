#pragma once

#include "../interfaces/property_info.h"

#include <algorithm>
#include <cstddef>
#include <memory>
#include <string>

namespace conduit::kit::device {

// A named list of values, held in an owned array of exactly count elements.
template <class T> class TVectorProperty : public interfaces::IPropertyInfo {
public:
    TVectorProperty(const char* propertyName, const T* initialValues, std::size_t valueCount)
        : name(propertyName), values(nullptr), count(valueCount) {
        // The array is owned through unique_ptr until it is complete, so a failed
        // element copy frees what was already made.
        std::unique_ptr<T[]> copy(new T[valueCount]);
        if (valueCount != 0)
            std::copy(initialValues, initialValues + valueCount, copy.get());
        values = copy.release();
    }
    TVectorProperty(const TVectorProperty&) = delete;
    TVectorProperty& operator=(const TVectorProperty&) = delete;

    const char* getName() const override { return name.c_str(); }
    void destroy() override { delete this; }

    std::string name;
    T* values;
    std::size_t count;

protected:
    ~TVectorProperty() override { delete[] values; }
};

} // namespace conduit::kit::device
