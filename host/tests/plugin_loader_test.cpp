#include "conduit/kit/kit.h"
#include "host/channel.h"
#include "host/i18n/ustring_conversion.h"
#include "host/plugin_loader.h"
#include "host/property_list.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <string>

namespace {

using korvex::host::LoadError;
using korvex::host::PluginLibrary;
using korvex::host::scalarValue;

class PluginLoader : public testing::Test {
protected:
    PluginLibrary probe{korvex::host::pluginPath("kxprobe")};
    korvex::host::Channel channel;
};

TEST_F(PluginLoader, ReadsVersionExports) {
    EXPECT_EQ("kxprobe", probe.name());
    EXPECT_FALSE(probe.version().empty());
    EXPECT_NE(std::string::npos, probe.version().find('.'));
    EXPECT_FALSE(probe.buildDate().empty());
}

TEST_F(PluginLoader, MissingExportIsNamedInTheError) {
    try {
        probe.createFilter(channel);
        FAIL() << "a library without createFilter made a filter";
    } catch (const LoadError& error) {
        const std::string what = error.what();
        EXPECT_NE(std::string::npos, what.find("createFilter")) << what;
        EXPECT_NE(std::string::npos, what.find(probe.path())) << what;
    }
    EXPECT_EQ(nullptr, probe.findSymbol("createConverter"));
}

TEST(PluginLoaderErrors, MissingFileIsNamedInTheError) {
    const std::string path = korvex::host::pluginPath("no_such_plugin");
    try {
        PluginLibrary missing(path);
        FAIL() << "loaded a library that does not exist";
    } catch (const LoadError& error) {
        EXPECT_NE(std::string::npos, std::string(error.what()).find(path)) << error.what();
    }
}

TEST(PluginLoaderPaths, AFolderOfTheHostsOwnComesBeforeTheDefault) {
    const std::string name = korvex::host::libraryFileName("kxprobe");
    const char separator = korvex::host::platform::pathSeparator();
    EXPECT_EQ("/opt/kx/lib" + std::string(1, separator) + name,
              korvex::host::pluginPath("kxprobe", "/opt/kx/lib"));
    EXPECT_EQ(korvex::host::pluginPath("kxprobe"), korvex::host::pluginPath("kxprobe", ""));
}

// Kit objects made by the host are recognised inside the plug-in (it reads the
// options by run-time type), and kit objects made by the plug-in are recognised
// by the host: both directions cross the library boundary.
TEST_F(PluginLoader, KitTypesAreRecognisedAcrossTheLibraryBoundary) {
    auto device = probe.createDevice(channel);
    korvex::host::Options options;
    options.set("Count", 3.0)
        .set("Label", "from the host")
        .set("WideLabel", korvex::i18n::widen("caf\xC3\xA9"));
    korvex::host::PropertyListOwner published;
    device->init(options, published.list());

    ASSERT_EQ((std::vector<std::string>{"CountSeen", "LabelSeen", "WideSeen", "Samples"}),
              published.names());
    EXPECT_EQ(3.0, scalarValue<double>(published[0]));
    EXPECT_EQ("from the host", scalarValue<std::string>(published[1]));
    EXPECT_EQ("caf\xC3\xA9",
              korvex::i18n::narrow(*scalarValue<conduit::kit::ustring>(published[2])));
    EXPECT_EQ((std::vector<std::int16_t>{1, -2, 3}),
              korvex::host::vectorValue<std::int16_t>(published[3]));
    // A kit class of another element type is not mistaken for this one.
    EXPECT_FALSE(scalarValue<float>(published[0]).has_value());
    EXPECT_FALSE(korvex::host::vectorValue<std::uint16_t>(published[3]).has_value());
    published.clear(); // released before the library goes
}

TEST_F(PluginLoader, WrongOptionTypeGivesTheDefaultInsideThePlugin) {
    auto device = probe.createDevice(channel);
    korvex::host::Options options;
    options.set("Count", std::string("3")).set("Count", 4.0);
    korvex::host::PropertyListOwner published;
    device->init(options, published.list());
    // The first "Count" is a string: the lookup stops there and uses the default.
    EXPECT_EQ(-1.0, scalarValue<double>(published[0]));
    published.clear();
}

TEST_F(PluginLoader, MessagesBuffersAndUpdatesReachTheChannel) {
    auto device = probe.createDevice(channel);
    korvex::host::Options failing;
    failing.set("Fail", true);
    korvex::host::PropertyListOwner published;
    device->init(failing, published.list());
    EXPECT_EQ(0u, published.size()); // a rejected option publishes nothing

    device->init(korvex::host::Options(), published.list());
    published.clear();
    device->open(korvex::host::Options());
    auto messages = channel.messages();
    ASSERT_EQ(2u, messages.size());
    EXPECT_EQ("error", messages[0].type);
    EXPECT_EQ("KORVEX:kxprobe:failed", messages[0].id);
    EXPECT_EQ("Told to fail.", messages[0].text);
    EXPECT_EQ("warning", messages[1].type);
    EXPECT_EQ(1u, channel.takeAllBuffers().size());
    ASSERT_EQ(1u, channel.properties("CountSeen").size());
    EXPECT_EQ(7.0, scalarValue<double>(channel.properties("CountSeen")[0].get()));
    channel.clearRecords();
    device.reset(); // term() through the releaser
}

} // namespace
