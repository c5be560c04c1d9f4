#include "plugin_loader.h"

#include <cstdlib>
#include <utility>

namespace korvex::host {

namespace {

// "/x/y/libkinedgram.so" -> "kinedgram", "C:\\x\\kinedgram.dll" -> "kinedgram".
std::string libraryNameOf(const std::string& path) {
    const auto slash = path.find_last_of("/\\");
    std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
    const auto dot = file.find('.');
    if (dot != std::string::npos)
        file.erase(dot);
    const std::string prefix = platform::libraryPrefix();
    if (!prefix.empty() && file.rfind(prefix, 0) == 0)
        file.erase(0, prefix.size());
    return file;
}

} // namespace

PluginLibrary::PluginLibrary(const std::string& path) : path_(path), name_(libraryNameOf(path)) {
    std::string reason;
    handle_ = platform::openLibrary(path, reason);
    if (handle_ == nullptr)
        throw LoadError("cannot load plug-in library " + path + ": " + reason);
}

PluginLibrary::~PluginLibrary() {
    if (handle_ != nullptr)
        platform::closeLibrary(handle_);
}

PluginLibrary::PluginLibrary(PluginLibrary&& other) noexcept
    : path_(std::move(other.path_)), name_(std::move(other.name_)),
      handle_(std::exchange(other.handle_, nullptr)) {}

PluginLibrary& PluginLibrary::operator=(PluginLibrary&& other) noexcept {
    if (this != &other) {
        if (handle_ != nullptr)
            platform::closeLibrary(handle_);
        path_ = std::move(other.path_);
        name_ = std::move(other.name_);
        handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
}

void* PluginLibrary::findSymbol(const char* symbol) const noexcept {
    return handle_ != nullptr ? platform::findSymbol(handle_, symbol) : nullptr;
}

void* PluginLibrary::requireSymbol(const char* symbol) const {
    void* address = findSymbol(symbol);
    if (address == nullptr)
        throw LoadError("plug-in library " + path_ + " does not export " + symbol);
    return address;
}

std::string PluginLibrary::readStringExport(const std::string& symbol) const {
    const auto* text = *static_cast<const char* const*>(requireSymbol(symbol.c_str()));
    return text != nullptr ? text : "";
}

std::string PluginLibrary::version() const { return readStringExport(name_ + "_version"); }

std::string PluginLibrary::buildDate() const { return readStringExport(name_ + "_build_date"); }

DevicePtr PluginLibrary::createDevice(conduit::interfaces::channel::IControl& channel) const {
    auto factory =
        reinterpret_cast<conduit::interfaces::CreateDeviceFn>(requireSymbol("createDevice"));
    conduit::interfaces::device::IControl* device = nullptr;
    const bool created = factory(channel, device);
    DevicePtr held(device);
    if (!created || held == nullptr)
        throw LoadError("createDevice of " + path_ + " did not create a device");
    return held;
}

FilterPtr PluginLibrary::createFilter(conduit::interfaces::channel::IControl& channel) const {
    auto factory =
        reinterpret_cast<conduit::interfaces::CreateFilterFn>(requireSymbol("createFilter"));
    conduit::interfaces::filter::IControl* filter = nullptr;
    const bool created = factory(channel, filter);
    FilterPtr held(filter);
    if (!created || held == nullptr)
        throw LoadError("createFilter of " + path_ + " did not create a filter");
    return held;
}

ConverterPtr PluginLibrary::createConverter() const {
    auto factory =
        reinterpret_cast<conduit::interfaces::CreateConverterFn>(requireSymbol("createConverter"));
    conduit::interfaces::converter::IConverter* converter = nullptr;
    const bool created = factory(converter);
    ConverterPtr held(converter);
    if (!created || held == nullptr)
        throw LoadError("createConverter of " + path_ + " did not create a converter");
    return held;
}

tevFunctionPtr PluginLibrary::extensionEntry() const {
    return reinterpret_cast<tevFunctionPtr>(requireSymbol("tevFunction"));
}

std::string libraryFileName(const std::string& name) {
    return platform::libraryPrefix() + name + platform::libraryExtension();
}

std::string pluginDirectory() {
    if (const char* configured = std::getenv("KX_PLUGIN_DIR"); configured && *configured)
        return configured;
    return platform::defaultPluginDirectory();
}

std::string pluginPath(const std::string& name) { return pluginPath(name, std::string()); }

std::string pluginPath(const std::string& name, const std::string& folder) {
    return (folder.empty() ? pluginDirectory() : folder) + platform::pathSeparator() +
           libraryFileName(name);
}

} // namespace korvex::host
