// The plug-in's exports: the device factory and the version strings.

#include "conduit/exports.h"

#include "conduit/interfaces/channel.h"
#include "conduit/interfaces/device.h"
#include "device.h"

KX_DEFINE_VERSION_EXPORTS(framegrab);

extern "C" KX_EXPORT bool createDevice(conduit::interfaces::channel::IControl& channel,
                                       conduit::interfaces::device::IControl*& device) {
    device = new framegrab::Device(channel);
    return true;
}
