#pragma once

#include "../tvarray/tv_array.h"
#include "data_buffer.h"
#include "property_info.h"

#include <cstdint>

// Interface of a converter plug-in object: turns channel objects into host values
// and back. Any thread; a converter holds no state.

namespace conduit::interfaces::converter {

class IConverter {
public:
    // a new host value built from buffer, or null; the buffer stays the caller's
    virtual tvArray* convertDataBuffer(IDataBuffer* buffer) = 0;
    virtual std::int32_t query1() = 0;
    virtual std::int32_t query2() = 0;
    virtual std::int32_t query3() = 0;
    // a new host value showing the property's value, or null; the property stays the caller's
    virtual tvArray* convertProperty(IPropertyInfo* property) = 0;
    // a new kit property of that name holding the value, or null; released with destroy()
    virtual IPropertyInfo* convertToProperty(const char* name, const tvArray* value) = 0;
    virtual std::intptr_t query4() = 0;
    // the host, once; deletes the converter
    virtual void destroy() = 0;

protected:
    virtual ~IConverter() = default;
};

} // namespace conduit::interfaces::converter
