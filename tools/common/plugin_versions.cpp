#include "plugin_versions.h"

#include "host/plugin_loader.h"

#include <exception>

namespace kxtools {

std::string versionText(const std::string& program, const std::string& version,
                        const std::vector<std::string>& plugins, bool& missing) {
    std::string text = program + " " + version + "\n";
    missing = false;
    for (const auto& name : plugins) {
        try {
            korvex::host::PluginLibrary library(korvex::host::pluginPath(name));
            text +=
                "  " + name + " " + library.version() + " (built " + library.buildDate() + ")\n";
        } catch (const std::exception& error) {
            text += "  " + name + " not available: " + error.what() + "\n";
            missing = true;
        }
    }
    return text;
}

} // namespace kxtools
