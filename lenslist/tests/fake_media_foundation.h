#pragma once

// Scripted Media Foundation for the enumeration tests: an attribute store and
// activation objects that count their references, and a MediaFoundation seam that
// hands them out and tracks every block of task memory.

#include "lenslist/media_foundation.h"

#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <mferror.h>
#include <string>
#include <vector>

namespace lenslist::testing {

// Tracks blocks handed out as task memory and how often each was freed.
class TaskMemory {
public:
    ~TaskMemory() {
        for (const auto& [block, frees] : freeCount) {
            if (frees == 0)
                std::free(block);
        }
    }
    void* allocate(std::size_t bytes) {
        void* block = std::malloc(bytes == 0 ? 1 : bytes);
        freeCount[block] = 0;
        return block;
    }
    // Counts the free; frees only blocks of ours, and each only once.
    void free(void* block) {
        const auto found = freeCount.find(block);
        if (found == freeCount.end()) {
            foreignFrees.push_back(block);
            return;
        }
        if (++found->second == 1)
            std::free(block);
    }
    bool allFreedOnce() const {
        for (const auto& entry : freeCount) {
            if (entry.second != 1)
                return false;
        }
        return foreignFrees.empty();
    }
    std::size_t blocks() const { return freeCount.size(); }
    int timesFreed(void* block) const {
        const auto found = freeCount.find(block);
        return found == freeCount.end() ? 0 : found->second;
    }

    std::vector<void*> foreignFrees;

private:
    std::map<void*, int> freeCount;
};

// Every IMFAttributes method answers E_NOTIMPL; the fakes below override what the
// enumeration uses. References are counted but the object is never deleted: the
// test owns it and checks the counts at the end.
// COM interfaces have no virtual destructor by design (objects end through
// Release), which the warning about non-virtual destructors of bases flags.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
template <class Interface> class AttributesStub : public Interface {
public:
    bool handedOut = false; // a reference went to the code under test
    ULONG references = 0;
    int releases = 0;

    void handOut() {
        handedOut = true;
        references = 1;
    }
    // Released exactly once if it was handed out, never otherwise.
    bool releasedAsOwed() const { return references == 0 && releases == (handedOut ? 1 : 0); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override {
        ++releases;
        return references == 0 ? 0 : --references;
    }

    HRESULT STDMETHODCALLTYPE GetItem(REFGUID, PROPVARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetItemType(REFGUID, MF_ATTRIBUTE_TYPE*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CompareItem(REFGUID, REFPROPVARIANT, WINBOOL*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Compare(IMFAttributes*, MF_ATTRIBUTES_MATCH_TYPE, WINBOOL*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetUINT32(REFGUID, UINT32*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetUINT64(REFGUID, UINT64*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDouble(REFGUID, double*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetGUID(REFGUID, GUID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetStringLength(REFGUID, UINT32*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetString(REFGUID, LPWSTR, UINT32, UINT32*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetAllocatedString(REFGUID, LPWSTR*, UINT32*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetBlobSize(REFGUID, UINT32*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetBlob(REFGUID, UINT8*, UINT32, UINT32*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetAllocatedBlob(REFGUID, UINT8**, UINT32*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetUnknown(REFGUID, REFIID, LPVOID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetItem(REFGUID, REFPROPVARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeleteItem(REFGUID) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeleteAllItems() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetUINT32(REFGUID, UINT32) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetUINT64(REFGUID, UINT64) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetDouble(REFGUID, double) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetGUID(REFGUID, REFGUID) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetString(REFGUID, LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetBlob(REFGUID, const UINT8*, UINT32) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetUnknown(REFGUID, IUnknown*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE LockStore() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE UnlockStore() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetCount(UINT32*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetItemByIndex(UINT32, GUID*, PROPVARIANT*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CopyAllItems(IMFAttributes*) override { return E_NOTIMPL; }

protected:
    ~AttributesStub() = default; // only the fakes below end it
};
#pragma GCC diagnostic pop

// The enumeration filter: records what is set on it.
class FakeAttributes final : public AttributesStub<IMFAttributes> {
public:
    HRESULT setGuidResult = S_OK;
    std::vector<std::pair<GUID, GUID>> guidsSet;

    HRESULT STDMETHODCALLTYPE SetGUID(REFGUID key, REFGUID value) override {
        guidsSet.emplace_back(key, value);
        return setGuidResult;
    }
};

// One device. Its friendly name is handed out as task memory, or the read fails
// with nameResult, or succeeds without a string when giveNoString is set.
class FakeActivate final : public AttributesStub<IMFActivate> {
public:
    FakeActivate(TaskMemory& taskMemory, std::wstring friendlyName)
        : memory(taskMemory), name(std::move(friendlyName)) {}

    HRESULT nameResult = S_OK;
    bool giveNoString = false;
    std::vector<GUID> keysRead;

    HRESULT STDMETHODCALLTYPE GetAllocatedString(REFGUID key, LPWSTR* value,
                                                 UINT32* length) override {
        keysRead.push_back(key);
        *value = nullptr;
        if (length != nullptr)
            *length = 0;
        if (FAILED(nameResult))
            return nameResult;
        if (!IsEqualGUID(key, MF_DEVSOURCE_ATTRIBUTE_FRIENDLY_NAME))
            return MF_E_ATTRIBUTENOTFOUND;
        if (giveNoString)
            return S_OK;
        const std::size_t bytes = (name.size() + 1) * sizeof(wchar_t);
        *value = static_cast<LPWSTR>(memory.allocate(bytes));
        std::memcpy(*value, name.c_str(), bytes);
        if (length != nullptr)
            *length = static_cast<UINT32>(name.size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ActivateObject(REFIID, void**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ShutdownObject() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DetachObject() override { return E_NOTIMPL; }

private:
    TaskMemory& memory;
    std::wstring name;
};

// The seam, scripted: each call answers as set and is recorded.
class FakeMediaFoundation final : public lenslist::MediaFoundation {
public:
    TaskMemory memory;
    FakeAttributes filter;
    std::deque<FakeActivate> devices; // stable addresses
    std::vector<bool> nullEntries;    // entries handed out as null

    HRESULT createResult = S_OK;
    HRESULT enumResult = S_OK;
    bool arrayForNoDevices = false; // hand out an empty array rather than null
    bool countWithoutArray = false; // report the devices but hand out no array

    std::vector<UINT32> initialSizes;
    std::vector<IMFAttributes*> filtersGiven;
    void* array = nullptr;
    bool entriesClearedBeforeFree = false;

    FakeActivate& addDevice(std::wstring name) {
        devices.emplace_back(memory, std::move(name));
        nullEntries.push_back(false);
        return devices.back();
    }
    void addNullEntry() {
        nullEntries.push_back(true);
        devices.emplace_back(memory, L"");
    }

    HRESULT createAttributes(IMFAttributes** attributes, UINT32 initialSize) override {
        initialSizes.push_back(initialSize);
        *attributes = nullptr;
        if (FAILED(createResult))
            return createResult;
        filter.handOut();
        *attributes = &filter;
        return createResult;
    }
    HRESULT enumDeviceSources(IMFAttributes* given, IMFActivate*** out, UINT32* count) override {
        filtersGiven.push_back(given);
        *out = nullptr;
        *count = 0;
        if (FAILED(enumResult))
            return enumResult;
        const auto total = static_cast<UINT32>(devices.size());
        if (countWithoutArray) {
            *count = total;
            return S_OK;
        }
        if (total == 0 && !arrayForNoDevices)
            return S_OK;
        auto** entries = static_cast<IMFActivate**>(memory.allocate(total * sizeof(IMFActivate*)));
        for (UINT32 i = 0; i < total; ++i) {
            entries[i] = nullptr;
            if (!nullEntries[i]) {
                devices[i].handOut();
                entries[i] = &devices[i];
            }
        }
        array = entries;
        *out = entries;
        *count = total;
        return S_OK;
    }
    void freeTaskMemory(void* block) override {
        if (block != nullptr && block == array) {
            auto** entries = static_cast<IMFActivate**>(block);
            entriesClearedBeforeFree = true;
            for (std::size_t i = 0; i < devices.size(); ++i)
                entriesClearedBeforeFree = entriesClearedBeforeFree && entries[i] == nullptr;
        }
        memory.free(block);
    }
};

} // namespace lenslist::testing
