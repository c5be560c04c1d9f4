#pragma once

#include <mfidl.h>

// The Media Foundation and COM functions of one camera enumeration, behind a seam
// so that tests can hand out scripted attribute stores and activation objects.
// The objects themselves are called through their COM interfaces.

namespace lenslist {

class MediaFoundation {
public:
    virtual ~MediaFoundation() = default;

    // MFCreateAttributes: a new attribute store with room for initialSize items.
    virtual HRESULT createAttributes(IMFAttributes** attributes, UINT32 initialSize) = 0;
    // MFEnumDeviceSources: the activation objects of the devices the filter selects,
    // in an array that the caller frees with freeTaskMemory.
    virtual HRESULT enumDeviceSources(IMFAttributes* filter, IMFActivate*** devices,
                                      UINT32* count) = 0;
    // CoTaskMemFree: for the device array and every allocated string.
    virtual void freeTaskMemory(void* memory) = 0;
};

// The real functions. Neither COM nor Media Foundation is initialised here: they
// run in whatever state the calling host thread has.
class SystemMediaFoundation final : public MediaFoundation {
public:
    HRESULT createAttributes(IMFAttributes** attributes, UINT32 initialSize) override;
    HRESULT enumDeviceSources(IMFAttributes* filter, IMFActivate*** devices,
                              UINT32* count) override;
    void freeTaskMemory(void* memory) override;
};

} // namespace lenslist
