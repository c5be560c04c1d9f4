#include "korvex_converter.h"

#include "array_to_property.h"
#include "property_to_array.h"
#include "sample_structure.h"

namespace mobilesensor {

// Each conversion is one catch ladder: the host is not prepared for exceptions from
// a plug-in, and a conversion that cannot finish has already released its
// temporaries on the way out, so null is the whole answer.

tvArray* KorvexConverter::convertDataBuffer(conduit::interfaces::IDataBuffer* buffer) {
    try {
        return kineconvert::sampleStructure(buffer);
    } catch (...) {
        return nullptr;
    }
}

std::int32_t KorvexConverter::query1() { return 1; }

std::int32_t KorvexConverter::query2() { return 0; }

std::int32_t KorvexConverter::query3() { return 1; }

tvArray* KorvexConverter::convertProperty(conduit::interfaces::IPropertyInfo* property) {
    try {
        return kineconvert::propertyArray(property);
    } catch (...) {
        return nullptr;
    }
}

conduit::interfaces::IPropertyInfo* KorvexConverter::convertToProperty(const char* name,
                                                                       const tvArray* value) {
    try {
        return kineconvert::arrayProperty(name, value);
    } catch (...) {
        return nullptr;
    }
}

std::intptr_t KorvexConverter::query4() { return 0; }

void KorvexConverter::destroy() { delete this; }

} // namespace mobilesensor
