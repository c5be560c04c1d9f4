#include "conduit/exports.h"

KX_DEFINE_VERSION_EXPORTS(kinelink);
