#include "lenslist/camera_list.h"

#include "com_ptr.h"
#include "host/i18n/unicode.h"

#include <cstddef>
#include <memory>

namespace lenslist {

namespace {

// Owns the array that MFEnumDeviceSources hands out: releases each activation
// object once and clears its entry, then frees the array.
class ActivationArray {
public:
    ActivationArray(MediaFoundation& mediaFoundation, IMFActivate** array, UINT32 length)
        : mf(mediaFoundation), devices(array), count(length) {}
    ~ActivationArray() {
        if (devices == nullptr)
            return;
        for (UINT32 i = 0; i < count; ++i) {
            if (devices[i] != nullptr) {
                devices[i]->Release();
                devices[i] = nullptr;
            }
        }
        mf.freeTaskMemory(devices);
    }
    ActivationArray(const ActivationArray&) = delete;
    ActivationArray& operator=(const ActivationArray&) = delete;

    IMFActivate* operator[](UINT32 i) const { return devices[i]; }

private:
    MediaFoundation& mf;
    IMFActivate** devices;
    UINT32 count;
};

class TaskMemoryFreer {
public:
    explicit TaskMemoryFreer(MediaFoundation& mediaFoundation) : mf(&mediaFoundation) {}
    void operator()(wchar_t* memory) const { mf->freeTaskMemory(memory); }

private:
    MediaFoundation* mf;
};

// The device's friendly name in UTF-8 (UTF-16 surrogate pairs joined, unpaired
// surrogates as U+FFFD). A device whose name cannot be read gets an empty name
// but stays in the list: the positions of the others then remain those of Media
// Foundation's list, and no name is shown that the device did not give.
std::string friendlyName(MediaFoundation& mf, IMFActivate* device) {
    if (device == nullptr)
        return {};
    LPWSTR raw = nullptr;
    UINT32 length = 0; // the method requires somewhere to put the length
    if (FAILED(device->GetAllocatedString(MF_DEVSOURCE_ATTRIBUTE_FRIENDLY_NAME, &raw, &length)))
        return {}; // on failure nothing was allocated, and raw is not to be used
    const std::unique_ptr<wchar_t, TaskMemoryFreer> name(raw, TaskMemoryFreer(mf));
    if (!name)
        return {};
    // The name ends at its terminator, as the host's narrow strings do.
    std::size_t units = 0;
    while (units < length && name.get()[units] != L'\0')
        ++units;
    return korvex::unicode::utf16ToUtf8(name.get(), units);
}

} // namespace

CameraListing listCameras(MediaFoundation& mediaFoundation) {
    CameraListing listing;

    // A filter with one attribute: video capture devices only.
    ComPtr<IMFAttributes> filter;
    if (FAILED(mediaFoundation.createAttributes(filter.put(), 1)) || !filter)
        return listing;
    if (FAILED(filter->SetGUID(MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE,
                               MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_GUID)))
        return listing;

    IMFActivate** array = nullptr;
    UINT32 count = 0;
    if (FAILED(mediaFoundation.enumDeviceSources(filter.get(), &array, &count)))
        return listing;
    const ActivationArray devices(mediaFoundation, array, count);
    if (array == nullptr && count != 0)
        return listing; // a count without devices is no answer

    listing.names.reserve(count);
    for (UINT32 i = 0; i < count; ++i)
        listing.names.push_back(friendlyName(mediaFoundation, devices[i]));
    listing.enumerated = true;
    return listing;
}

} // namespace lenslist
