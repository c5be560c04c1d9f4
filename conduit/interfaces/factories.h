#pragma once

#include "channel.h"
#include "converter.h"
#include "device.h"
#include "filter.h"

// Signatures of the factory exports (C linkage) that the host resolves by name.

namespace conduit::interfaces {

using CreateDeviceFn = bool (*)(channel::IControl& channel, device::IControl*& device);
using CreateFilterFn = bool (*)(channel::IControl& channel, filter::IControl*& filter);
using CreateConverterFn = bool (*)(converter::IConverter*& converter);

} // namespace conduit::interfaces
