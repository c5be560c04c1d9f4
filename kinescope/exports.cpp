// The plug-in's exports: the device factory and the version strings.

#include "conduit/exports.h"

#include "conduit/interfaces/channel.h"
#include "conduit/interfaces/device.h"
#include "conduit/kit/boundary.h"
#include "device.h"

KX_DEFINE_VERSION_EXPORTS(kinescope);

// A device that cannot be made is a false result and null.
extern "C" KX_EXPORT bool createDevice(conduit::interfaces::channel::IControl& channel,
                                       conduit::interfaces::device::IControl*& device) {
    return conduit::kit::makeObject(device, [&] { return new kinescope::Device(channel); });
}
