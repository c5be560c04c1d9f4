// The built module loaded and called as the host calls it, on the Media
// Foundation of the machine the tests run on (Wine's, which has no camera).

#include "host/plugin_loader.h"
#include "result_slots.h"

#include <gtest/gtest.h>
#include <mfapi.h>
#include <objbase.h>
#include <string>
#include <thread>
#include <vector>

namespace {

using korvex::host::PluginLibrary;
using lenslist::testing::cellDoubles;
using lenslist::testing::cellTexts;
using lenslist::testing::logicalScalar;
using lenslist::testing::ResultSlots;

class LenslistModule : public ::testing::Test {
protected:
    PluginLibrary library{korvex::host::pluginPath("lenslist")};
    tevFunctionPtr entry = library.extensionEntry();
};

TEST_F(LenslistModule, ExportsVersionStrings) {
    EXPECT_FALSE(library.version().empty());
    EXPECT_FALSE(library.buildDate().empty());
}

// A host thread with COM and Media Foundation started, as the host's own.
TEST_F(LenslistModule, MachineWithoutCamerasGivesTrueAndTwoEmptyCellArrays) {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    ASSERT_TRUE(SUCCEEDED(MFStartup(MF_VERSION, MFSTARTUP_FULL)));

    ResultSlots results;
    entry(3, results.slots, 0, nullptr);

    EXPECT_TRUE(logicalScalar(results.slots[0]));
    EXPECT_TRUE(cellTexts(results.slots[1]).empty());
    EXPECT_TRUE(cellDoubles(results.slots[2]).empty());

    MFShutdown();
    CoUninitialize();
}

// On a thread where nothing is initialised the extension initialises nothing
// either: it answers with well-formed slots (Wine's Media Foundation enumerates
// there too and finds no camera), and COM is still uninitialised afterwards.
TEST_F(LenslistModule, LeavesComAsItFindsIt) {
    ResultSlots results;
    HRESULT initialisedAfter = E_FAIL;
    std::thread host([&] {
        entry(3, results.slots, 0, nullptr);
        initialisedAfter = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        if (SUCCEEDED(initialisedAfter))
            CoUninitialize();
    });
    host.join();

    EXPECT_EQ(S_OK, initialisedAfter) << "S_FALSE: COM was left initialised on the thread";
    ASSERT_NE(nullptr, results.slots[0]);
    logicalScalar(results.slots[0]);
    EXPECT_TRUE(cellTexts(results.slots[1]).empty());
    EXPECT_TRUE(cellDoubles(results.slots[2]).empty());
}

// The three slots are filled whatever was requested, and arguments are not read.
TEST_F(LenslistModule, FillsThreeSlotsWhateverIsRequestedAndIgnoresArguments) {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    ASSERT_TRUE(SUCCEEDED(MFStartup(MF_VERSION, MFSTARTUP_FULL)));
    tvArray* first = tvCreateDoubleScalar(2.0);
    tvArray* second = tvCreateString("ignored");
    const tvArray* arguments[] = {first, second};
    struct Call {
        const char* label;
        int resultCount;
        int argumentCount;
        const tvArray** arguments;
    };
    const Call calls[] = {{"no results requested", 0, 0, nullptr},
                          {"one result, two arguments", 1, 2, arguments},
                          {"count without arguments", 1, 5, nullptr}};
    for (const Call& call : calls) {
        SCOPED_TRACE(call.label);
        ResultSlots results;
        entry(call.resultCount, results.slots, call.argumentCount, call.arguments);
        ASSERT_NE(nullptr, results.slots[0]);
        EXPECT_TRUE(logicalScalar(results.slots[0]));
        EXPECT_TRUE(cellTexts(results.slots[1]).empty());
        EXPECT_TRUE(cellDoubles(results.slots[2]).empty());
    }
    EXPECT_EQ(2.0, *static_cast<const double*>(tvGetData(first)));
    tvDestroyArray(first);
    tvDestroyArray(second);
    MFShutdown();
    CoUninitialize();
}

} // namespace
