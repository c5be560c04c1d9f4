#pragma once

#include "conduit/interfaces/converter.h"

#include <boost/core/noncopyable.hpp>
#include <cstdint>

namespace mobilesensor {

// The host's converter for the sensor family: sample buffers become 1-by-1 host
// structures, properties become host values and host values become kit properties.
// It holds no state, so any thread may call it, and calls are independent.
//
// No exception leaves an operation: a conversion that fails part-way (the host
// cannot make a value, memory runs out, an object it reads throws) releases what it
// had built and answers null, as it does for input that has no converted form.
class KorvexConverter : public conduit::interfaces::converter::IConverter,
                        private boost::noncopyable {
public:
    KorvexConverter() = default;

    // any thread; a new 1-by-1 structure, or null; the buffer stays the caller's
    tvArray* convertDataBuffer(conduit::interfaces::IDataBuffer* buffer) override;
    std::int32_t query1() override;
    std::int32_t query2() override;
    std::int32_t query3() override;
    // any thread; a new host value, or null; the property stays the caller's
    tvArray* convertProperty(conduit::interfaces::IPropertyInfo* property) override;
    // any thread; a new kit property released with destroy(), or null; the value
    // stays the caller's
    conduit::interfaces::IPropertyInfo* convertToProperty(const char* name,
                                                          const tvArray* value) override;
    std::intptr_t query4() override;
    // the host, once
    void destroy() override;

protected:
    // Holders release the converter through destroy().
    ~KorvexConverter() override = default;
};

} // namespace mobilesensor
