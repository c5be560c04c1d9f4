#pragma once

#include "conduit/interfaces/factories.h"
#include "conduit/kit/release.h"
#include "conduit/tvarray/tv_array.h"

#include <memory>
#include <stdexcept>
#include <string>

// Loads plug-in libraries and extension modules with the platform loader and
// resolves their exports by name, as the host does. Objects made by a library
// must be released before the library goes: keep the PluginLibrary alive longer
// than every device, filter, converter, buffer and property that came from it.

namespace korvex::host {

class LoadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

using DevicePtr = std::unique_ptr<conduit::interfaces::device::IControl, conduit::kit::Releaser>;
using FilterPtr = std::unique_ptr<conduit::interfaces::filter::IControl, conduit::kit::Releaser>;
using ConverterPtr =
    std::unique_ptr<conduit::interfaces::converter::IConverter, conduit::kit::Releaser>;

class PluginLibrary {
public:
    // Throws LoadError naming the file and the loader's reason.
    explicit PluginLibrary(const std::string& path);
    ~PluginLibrary();
    PluginLibrary(PluginLibrary&& other) noexcept;
    PluginLibrary& operator=(PluginLibrary&& other) noexcept;
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    const std::string& path() const { return path_; }
    // The library's name: the file name without "lib", directory and extension.
    const std::string& name() const { return name_; }

    // Address of an export, or null when the library has none of that name.
    void* findSymbol(const char* symbol) const noexcept;
    // Address of an export; throws LoadError naming the library and the export.
    void* requireSymbol(const char* symbol) const;

    // The strings behind <name>_version and <name>_build_date.
    std::string version() const;
    std::string buildDate() const;

    // Create an object through the factory export. Throws LoadError when the export
    // is missing or the factory reports failure.
    DevicePtr createDevice(conduit::interfaces::channel::IControl& channel) const;
    FilterPtr createFilter(conduit::interfaces::channel::IControl& channel) const;
    ConverterPtr createConverter() const;
    // The entry point of an extension module.
    tevFunctionPtr extensionEntry() const;

private:
    std::string readStringExport(const std::string& symbol) const;

    std::string path_;
    std::string name_;
    void* handle_ = nullptr;
};

// Platform file name of a library: lib<name>.so on Linux, <name>.dll on Windows.
std::string libraryFileName(const std::string& name);
// Where the host looks for plug-ins: $KX_PLUGIN_DIR, else the program's own
// folder on Windows and <program folder>/../lib elsewhere.
std::string pluginDirectory();
// pluginDirectory() joined with libraryFileName(name).
std::string pluginPath(const std::string& name);
// folder joined with libraryFileName(name); an empty folder is pluginDirectory(). A
// host that is not a program of bin/ (the Python module) says where its plug-ins are.
std::string pluginPath(const std::string& name, const std::string& folder);

namespace platform {
// Thin layer over dlopen/LoadLibrary; error receives the loader's reason.
void* openLibrary(const std::string& path, std::string& error);
void* findSymbol(void* handle, const char* symbol);
void closeLibrary(void* handle);
const char* libraryPrefix();    // "lib" or ""
const char* libraryExtension(); // ".so" or ".dll"
std::string executableDirectory();
std::string defaultPluginDirectory();
char pathSeparator();
} // namespace platform

} // namespace korvex::host
