// plugininfo: loads plug-in libraries through the stand-in host's loader and tells
// what each one is: its version, its build date, the factories it exports and, for
// a device, the properties it publishes when initialised with no options.

#include "host/channel.h"
#include "host/plugin_loader.h"
#include "host/property_list.h"
#include "host/property_text.h"

#include <cstring>
#include <iostream>
#include <string>
#include <vector>

namespace {

void printHelp() {
    std::cout << "Usage: plugininfo [--dir DIR] NAME...\n"
                 "\n"
                 "Loads each plug-in library NAME (for example kinedgram) the way the host\n"
                 "does and prints its version, build date and exports. A device plug-in is\n"
                 "created and initialised without options, and the properties it publishes\n"
                 "and the messages it posts are shown; it is never opened.\n"
                 "\n"
                 "  --dir DIR   look for libraries in DIR (default: "
              << korvex::host::pluginDirectory()
              << ")\n"
                 "  --help      show this text\n";
}

void describe(const std::string& path) {
    korvex::host::PluginLibrary library(path);
    std::cout << library.name() << " " << library.version() << " (built " << library.buildDate()
              << ")\n  file: " << path << "\n";
    for (const char* factory : {"createDevice", "createFilter", "createConverter", "tevFunction"}) {
        if (library.findSymbol(factory) != nullptr)
            std::cout << "  exports " << factory << "\n";
    }
    if (library.findSymbol("createDevice") == nullptr)
        return;

    korvex::host::Channel channel(library.name());
    {
        auto device = library.createDevice(channel);
        korvex::host::PropertyListOwner published;
        device->init(korvex::host::Options(), published.list());
        for (const auto* property : published.list())
            std::cout << "  publishes " << property->getName() << " = "
                      << korvex::host::propertyText(property) << "\n";
    }
    for (const auto& message : channel.messages())
        std::cout << "  " << message.type << ": " << message.id << ": " << message.text << "\n";
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> names;
    std::string directory = korvex::host::pluginDirectory();
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            printHelp();
            return 0;
        }
        if (argument == "--dir") {
            if (++i == argc) {
                std::cerr << "plugininfo: --dir needs a folder\n";
                return 2;
            }
            directory = argv[i];
        } else if (!argument.empty() && argument[0] == '-') {
            std::cerr << "plugininfo: unknown option " << argument << " (see --help)\n";
            return 2;
        } else {
            names.push_back(argument);
        }
    }
    if (names.empty()) {
        std::cerr << "plugininfo: name at least one plug-in library (see --help)\n";
        return 2;
    }
    int status = 0;
    for (const auto& name : names) {
        try {
            describe(directory + "/" + korvex::host::libraryFileName(name));
        } catch (const std::exception& error) {
            std::cerr << "plugininfo: " << error.what() << "\n";
            status = 1;
        }
    }
    return status;
}
