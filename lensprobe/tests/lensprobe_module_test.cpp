// The built module loaded and called as the host calls it.

#include "host/plugin_loader.h"
#include "lensprobe/camera_probe.h"
#include "lensprobe/camera_scan.h"
#include "result_slots.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using korvex::host::PluginLibrary;
using lensprobe::testing::cellTexts;
using lensprobe::testing::logicalScalar;
using lensprobe::testing::ResultSlots;

class LensprobeModule : public ::testing::Test {
protected:
    PluginLibrary library{korvex::host::pluginPath("lensprobe")};
    tevFunctionPtr entry = library.extensionEntry();
};

TEST_F(LensprobeModule, ExportsVersionStrings) {
    EXPECT_FALSE(library.version().empty());
    EXPECT_FALSE(library.buildDate().empty());
}

// The three slots are filled whatever was requested, and arguments are not read:
// the same answer comes with none, with some, and with a count that does not
// match the (null) argument array.
TEST_F(LensprobeModule, FillsThreeSlotsWhateverIsRequestedAndIgnoresArguments) {
    tvArray* first = tvCreateDoubleScalar(1.0);
    tvArray* second = tvCreateString("/dev/video0");
    const tvArray* arguments[] = {first, second};
    struct Call {
        const char* label;
        int resultCount;
        int argumentCount;
        const tvArray** arguments;
    };
    const Call calls[] = {{"three results, no arguments", 3, 0, nullptr},
                          {"no results requested", 0, 0, nullptr},
                          {"one result, two arguments", 1, 2, arguments},
                          {"count without arguments", 1, 5, nullptr}};
    std::vector<std::vector<std::string>> names;
    std::vector<std::vector<std::string>> paths;
    for (const Call& call : calls) {
        SCOPED_TRACE(call.label);
        ResultSlots results;
        entry(call.resultCount, results.slots, call.argumentCount, call.arguments);
        ASSERT_NE(nullptr, results.slots[0]);
        ASSERT_NE(nullptr, results.slots[1]);
        ASSERT_NE(nullptr, results.slots[2]);
        EXPECT_TRUE(logicalScalar(results.slots[0]));
        names.push_back(cellTexts(results.slots[1]));
        paths.push_back(cellTexts(results.slots[2]));
    }
    for (size_t i = 1; i < names.size(); ++i) {
        EXPECT_EQ(names[0], names[i]) << calls[i].label;
        EXPECT_EQ(paths[0], paths[i]) << calls[i].label;
    }
    // The arguments are untouched and still the caller's.
    EXPECT_EQ(1.0, *static_cast<const double*>(tvGetData(first)));
    tvDestroyArray(first);
    tvDestroyArray(second);
}

// The module's answer is the scan of /dev/ done in this process.
TEST_F(LensprobeModule, ListsWhatAScanOfDevFinds) {
    lensprobe::SystemProbe probe;
    const lensprobe::CameraList expected = lensprobe::scanCameras("/dev/", probe);

    ResultSlots results;
    entry(3, results.slots, 0, nullptr);

    EXPECT_TRUE(logicalScalar(results.slots[0]));
    EXPECT_EQ(expected.names, cellTexts(results.slots[1]));
    EXPECT_EQ(expected.paths, cellTexts(results.slots[2]));
}

// On a machine without Video4Linux nodes: true and two 0-by-0 cell arrays.
TEST_F(LensprobeModule, MachineWithoutCamerasGivesTrueAndTwoEmptyCellArrays) {
    for (const std::string& entry_name : lensprobe::readDirectoryEntries("/dev/")) {
        if (entry_name.find("video") != std::string::npos)
            GTEST_SKIP() << "this machine has /dev/" << entry_name;
    }

    ResultSlots results;
    entry(1, results.slots, 0, nullptr);

    EXPECT_TRUE(logicalScalar(results.slots[0]));
    for (const tvArray* cells : {results.slots[1], results.slots[2]}) {
        EXPECT_EQ(tvCELL_CLASS, tvGetClassID(cells));
        EXPECT_EQ(0u, tvGetM(cells));
        EXPECT_EQ(0u, tvGetN(cells));
        EXPECT_EQ(2u, tvGetNumberOfDimensions(cells));
    }
}

} // namespace
