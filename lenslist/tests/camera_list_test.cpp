// The enumeration with scripted Media Foundation objects: the calls made, the
// names and positions that come out, failures, and that every object handed out
// is released exactly once and every block of task memory freed once.

#include "fake_media_foundation.h"
#include "lenslist/camera_list.h"
#include "lenslist/camera_results.h"
#include "result_slots.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using lenslist::testing::cellDoubles;
using lenslist::testing::cellTexts;
using lenslist::testing::FakeMediaFoundation;
using lenslist::testing::logicalScalar;
using lenslist::testing::ResultSlots;

// Runs the enumeration and stores its results as the extension does.
lenslist::CameraListing listInto(FakeMediaFoundation& mf, ResultSlots& results) {
    lenslist::CameraListing listing = lenslist::listCameras(mf);
    lenslist::storeCameraListing(results.slots, listing);
    return listing;
}

// Every object handed out was released exactly once, and every block of task
// memory (device array, names) freed exactly once.
void expectEverythingReleased(const FakeMediaFoundation& mf) {
    EXPECT_TRUE(mf.filter.releasedAsOwed())
        << "filter: " << mf.filter.releases << " releases, handed out " << mf.filter.handedOut;
    for (std::size_t i = 0; i < mf.devices.size(); ++i) {
        EXPECT_TRUE(mf.devices[i].releasedAsOwed())
            << "device " << i << ": " << mf.devices[i].releases << " releases";
    }
    EXPECT_TRUE(mf.memory.allFreedOnce());
    if (mf.array != nullptr) {
        EXPECT_TRUE(mf.entriesClearedBeforeFree) << "entries are cleared as they are released";
    }
}

void expectFailureResults(const ResultSlots& results) {
    EXPECT_FALSE(logicalScalar(results.slots[0]));
    EXPECT_TRUE(cellTexts(results.slots[1]).empty());
    EXPECT_TRUE(cellDoubles(results.slots[2]).empty());
}

TEST(CameraList, TwoCamerasInOrderWithPositionsOneAndTwo) {
    FakeMediaFoundation mf;
    mf.addDevice(L"Integrated Webcam");
    mf.addDevice(L"USB Video Device");
    ResultSlots results;

    const lenslist::CameraListing listing = listInto(mf, results);

    // One filter with room for one attribute: the source type, video capture.
    EXPECT_EQ(std::vector<UINT32>{1}, mf.initialSizes);
    ASSERT_EQ(1u, mf.filter.guidsSet.size());
    EXPECT_TRUE(IsEqualGUID(MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE, mf.filter.guidsSet[0].first));
    EXPECT_TRUE(
        IsEqualGUID(MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_GUID, mf.filter.guidsSet[0].second));
    EXPECT_EQ(std::vector<IMFAttributes*>{&mf.filter}, mf.filtersGiven);
    for (const auto& device : mf.devices) {
        ASSERT_EQ(1u, device.keysRead.size());
        EXPECT_TRUE(IsEqualGUID(MF_DEVSOURCE_ATTRIBUTE_FRIENDLY_NAME, device.keysRead[0]));
    }

    EXPECT_TRUE(listing.enumerated);
    EXPECT_TRUE(logicalScalar(results.slots[0]));
    EXPECT_EQ((std::vector<std::string>{"Integrated Webcam", "USB Video Device"}),
              cellTexts(results.slots[1]));
    EXPECT_EQ((std::vector<double>{1.0, 2.0}), cellDoubles(results.slots[2]));
    EXPECT_EQ(3u, mf.memory.blocks()) << "the array and two names";
    expectEverythingReleased(mf);
}

TEST(CameraList, FriendlyNamesComeOutAsUtf8) {
    struct Case {
        const char* label;
        std::wstring name;
        std::string utf8;
    };
    const Case cases[] = {
        {"ASCII unchanged", L"HD Pro Webcam C920", "HD Pro Webcam C920"},
        {"Latin-1", L"Cam\u00E9ra fa\u00E7ade \u00FF",
         "Cam\xC3\xA9ra fa\xC3\xA7"
         "ade \xC3\xBF"},
        {"beyond U+00FF", L"\u041A\u0430\u043C\u0435\u0440\u0430 \u20AC",
         "\xD0\x9A\xD0\xB0\xD0\xBC\xD0\xB5\xD1\x80\xD0\xB0 \xE2\x82\xAC"},
        {"CJK", L"\u6444\u50CF\u5934", "\xE6\x91\x84\xE5\x83\x8F\xE5\xA4\xB4"},
        {"surrogate pair", std::wstring(L"Cam ") + wchar_t(0xD83D) + wchar_t(0xDCF7),
         "Cam \xF0\x9F\x93\xB7"},
        {"unpaired high surrogate", std::wstring(L"A") + wchar_t(0xD83D) + L"B",
         "A\xEF\xBF\xBD"
         "B"},
        {"unpaired low surrogate", std::wstring(L"A") + wchar_t(0xDCF7), "A\xEF\xBF\xBD"},
        {"high surrogate at the end", std::wstring(L"A") + wchar_t(0xD83D), "A\xEF\xBF\xBD"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        FakeMediaFoundation mf;
        mf.addDevice(c.name);
        ResultSlots results;

        listInto(mf, results);

        EXPECT_TRUE(logicalScalar(results.slots[0]));
        EXPECT_EQ(std::vector<std::string>{c.utf8}, cellTexts(results.slots[1]));
        EXPECT_EQ(std::vector<double>{1.0}, cellDoubles(results.slots[2]));
        expectEverythingReleased(mf);
    }
}

TEST(CameraList, EachFailingSetUpCallGivesFalseAndTwoEmptyCellArrays) {
    struct Case {
        const char* label;
        HRESULT create;
        HRESULT setGuid;
        HRESULT enumerate;
        std::size_t enumerations;
    };
    const Case cases[] = {
        {"attribute store", E_OUTOFMEMORY, S_OK, S_OK, 0},
        {"source type", S_OK, E_INVALIDARG, S_OK, 0},
        {"enumeration", S_OK, S_OK, MF_E_NOT_INITIALIZED, 1},
        {"enumeration, other code", S_OK, S_OK, E_FAIL, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        FakeMediaFoundation mf;
        mf.createResult = c.create;
        mf.filter.setGuidResult = c.setGuid;
        mf.enumResult = c.enumerate;
        mf.addDevice(L"never listed");
        ResultSlots results;

        const lenslist::CameraListing listing = listInto(mf, results);

        EXPECT_FALSE(listing.enumerated);
        EXPECT_EQ(c.enumerations, mf.filtersGiven.size());
        EXPECT_TRUE(mf.devices[0].keysRead.empty());
        expectFailureResults(results);
        expectEverythingReleased(mf);
    }
}

TEST(CameraList, NoDevicesGiveTrueAndTwoEmptyCellArrays) {
    for (const bool emptyArray : {false, true}) {
        SCOPED_TRACE(emptyArray ? "empty array" : "no array");
        FakeMediaFoundation mf;
        mf.arrayForNoDevices = emptyArray;
        ResultSlots results;

        const lenslist::CameraListing listing = listInto(mf, results);

        EXPECT_TRUE(listing.enumerated);
        EXPECT_TRUE(logicalScalar(results.slots[0]));
        EXPECT_TRUE(cellTexts(results.slots[1]).empty());
        EXPECT_TRUE(cellDoubles(results.slots[2]).empty());
        EXPECT_EQ(emptyArray ? 1u : 0u, mf.memory.blocks());
        expectEverythingReleased(mf);
    }
}

TEST(CameraList, CountWithoutDeviceArrayIsAFailedEnumeration) {
    FakeMediaFoundation mf;
    mf.countWithoutArray = true;
    mf.addDevice(L"A");
    ResultSlots results;

    EXPECT_FALSE(listInto(mf, results).enumerated);
    expectFailureResults(results);
    expectEverythingReleased(mf);
}

// A device whose name cannot be read is listed with an empty name and keeps its
// position; the devices after it keep theirs.
TEST(CameraList, DeviceWhoseNameCannotBeReadIsListedWithAnEmptyName) {
    struct Case {
        const char* label;
        HRESULT nameResult;
        bool giveNoString;
        bool nullEntry;
    };
    const Case cases[] = {
        {"attribute not found", MF_E_ATTRIBUTENOTFOUND, false, false},
        {"out of memory", E_OUTOFMEMORY, false, false},
        {"success without a string", S_OK, true, false},
        {"no activation object", S_OK, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        FakeMediaFoundation mf;
        mf.addDevice(L"First");
        if (c.nullEntry) {
            mf.addNullEntry();
        } else {
            auto& unreadable = mf.addDevice(L"never read");
            unreadable.nameResult = c.nameResult;
            unreadable.giveNoString = c.giveNoString;
        }
        mf.addDevice(L"Third");
        ResultSlots results;

        listInto(mf, results);

        EXPECT_TRUE(logicalScalar(results.slots[0]));
        EXPECT_EQ((std::vector<std::string>{"First", "", "Third"}), cellTexts(results.slots[1]));
        EXPECT_EQ((std::vector<double>{1.0, 2.0, 3.0}), cellDoubles(results.slots[2]));
        expectEverythingReleased(mf);
    }
}

TEST(CameraResults, FailedListingStoresNoNamesEvenIfItHasSome) {
    lenslist::CameraListing listing;
    listing.enumerated = false;
    listing.names = {"stale"};
    ResultSlots results;

    lenslist::storeCameraListing(results.slots, listing);

    expectFailureResults(results);
}

} // namespace
