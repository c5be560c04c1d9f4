#include "host/plugin_loader.h"

#include <gtest/gtest.h>
#include <regex>

namespace {

// Loaded the way the host loads every library of the family.
TEST(KinelinkExports, NameAVersionAndABuildDate) {
    const korvex::host::PluginLibrary library(korvex::host::pluginPath("kinelink"));
    EXPECT_TRUE(std::regex_match(library.version(), std::regex(R"(\d+(\.\d+)+)")))
        << library.version();
    EXPECT_TRUE(std::regex_match(library.buildDate(), std::regex(R"(\d{4}-\d{2}-\d{2})")))
        << library.buildDate();
}

} // namespace
