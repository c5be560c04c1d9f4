#pragma once

#include "conduit/interfaces/data_buffer.h"
#include "conduit/tvarray/tv_array.h"
#include "sample_fields.h"

// A sensor sample buffer as a 1-by-1 host structure with the fields of
// sample_fields.h.

namespace kineconvert {

// A new structure built from a mobilesensor sample buffer, owned by the caller. Null
// when the buffer is not a sample buffer, holds no sample, or the host could not
// make a value; nothing is left allocated then. Throws only what the buffer's own
// operations throw, or std::bad_alloc.
tvArray* sampleStructure(const conduit::interfaces::IDataBuffer* buffer);

} // namespace kineconvert
