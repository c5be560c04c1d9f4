#include "lenslist/media_foundation.h"

#include <combaseapi.h>
#include <mfapi.h>

namespace lenslist {

HRESULT SystemMediaFoundation::createAttributes(IMFAttributes** attributes, UINT32 initialSize) {
    return MFCreateAttributes(attributes, initialSize);
}

HRESULT SystemMediaFoundation::enumDeviceSources(IMFAttributes* filter, IMFActivate*** devices,
                                                 UINT32* count) {
    return MFEnumDeviceSources(filter, devices, count);
}

void SystemMediaFoundation::freeTaskMemory(void* memory) { CoTaskMemFree(memory); }

} // namespace lenslist
