// The plug-in's exports: the device factory and the version strings.

#include "conduit/exports.h"

#include "conduit/interfaces/channel.h"
#include "conduit/interfaces/device.h"
#include "device.h"

KX_DEFINE_VERSION_EXPORTS(kinescope);

extern "C" KX_EXPORT bool createDevice(conduit::interfaces::channel::IControl& channel,
                                       conduit::interfaces::device::IControl*& device) {
    // No exception leaves the plug-in: a device that cannot be made is a false result.
    try {
        device = new kinescope::Device(channel);
        return true;
    } catch (...) {
        device = nullptr;
        return false;
    }
}
