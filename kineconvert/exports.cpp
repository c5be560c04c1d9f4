// The exports the host resolves by name: the converter factory and the version
// strings.

#include "conduit/exports.h"

#include "conduit/interfaces/converter.h"
#include "conduit/kit/boundary.h"
#include "korvex_converter.h"

KX_DEFINE_VERSION_EXPORTS(kineconvert);

// Creates the converter; false and null when there is no memory for it.
extern "C" KX_EXPORT bool createConverter(conduit::interfaces::converter::IConverter*& converter) {
    return conduit::kit::makeObject(converter, [] { return new mobilesensor::KorvexConverter(); });
}
