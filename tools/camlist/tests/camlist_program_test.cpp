// The camlist program run as a child process: it prints what the loaded lensprobe
// module lists, and on a machine without cameras says so.

#include "host/plugin_loader.h"
#include "tools/camlist/listing_text.h"
#include "tools/common/child_process.h"

#include <chrono>
#include <dirent.h>
#include <gtest/gtest.h>
#include <regex>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;

kxtools::ChildResult camlist(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), CAMLIST_PATH);
    return kxtools::runChild(arguments, 60s);
}

bool devHasVideoEntries() {
    DIR* dev = ::opendir("/dev/");
    if (dev == nullptr)
        return false;
    bool found = false;
    while (const dirent* entry = ::readdir(dev))
        found = found || std::string(entry->d_name).find("video") != std::string::npos;
    ::closedir(dev);
    return found;
}

TEST(CamlistProgram, PrintsWhatTheModuleLists) {
    const auto result = camlist({});
    ASSERT_EQ(0, result.exitCode) << result.err;
    EXPECT_EQ("", result.err);

    korvex::host::PluginLibrary module(korvex::host::pluginPath("lensprobe"));
    const auto listing = kxtools::listCameras(module.extensionEntry());
    EXPECT_EQ(camlist::listingText(listing), result.out);
    if (devHasVideoEntries())
        GTEST_SKIP() << "this machine has Video4Linux entries; the no-camera answer is not shown";
    EXPECT_EQ("no cameras found\n", result.out);
}

TEST(CamlistProgram, HelpVersionAndBadArguments) {
    const auto help = camlist({"--help"});
    EXPECT_EQ(0, help.exitCode);
    EXPECT_NE(std::string::npos, help.out.find("no cameras found")) << help.out;
    const auto version = camlist({"--version"});
    EXPECT_EQ(0, version.exitCode);
    EXPECT_TRUE(
        std::regex_search(version.out, std::regex(R"(^camlist \S+\n  lensprobe \S+ \(built )")))
        << version.out;
    for (const auto& arguments :
         {std::vector<std::string>{"--all"}, std::vector<std::string>{"/dev/video0"}}) {
        const auto bad = camlist(arguments);
        EXPECT_EQ(2, bad.exitCode) << arguments[0];
        EXPECT_EQ(0u, bad.err.find("camlist: ")) << bad.err;
        EXPECT_NE(std::string::npos, bad.err.find("(see camlist --help)")) << bad.err;
        EXPECT_EQ("", bad.out);
    }
}

} // namespace
