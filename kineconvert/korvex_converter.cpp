#include "korvex_converter.h"

#include "array_to_property.h"
#include "conduit/kit/boundary.h"
#include "property_to_array.h"
#include "sample_structure.h"

namespace mobilesensor {

// Each conversion runs through the kit's catch ladder: a conversion that cannot
// finish has already released its temporaries on the way out, so null is the whole
// answer.

tvArray* KorvexConverter::convertDataBuffer(conduit::interfaces::IDataBuffer* buffer) {
    return conduit::kit::orNull([&] { return kineconvert::sampleStructure(buffer); });
}

std::int32_t KorvexConverter::query1() { return 1; }

std::int32_t KorvexConverter::query2() { return 0; }

std::int32_t KorvexConverter::query3() { return 1; }

tvArray* KorvexConverter::convertProperty(conduit::interfaces::IPropertyInfo* property) {
    return conduit::kit::orNull([&] { return kineconvert::propertyArray(property); });
}

conduit::interfaces::IPropertyInfo* KorvexConverter::convertToProperty(const char* name,
                                                                       const tvArray* value) {
    return conduit::kit::orNull([&] { return kineconvert::arrayProperty(name, value); });
}

std::intptr_t KorvexConverter::query4() { return 0; }

void KorvexConverter::destroy() { delete this; }

} // namespace mobilesensor
