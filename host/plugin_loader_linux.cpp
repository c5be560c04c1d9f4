#include "plugin_loader.h"

#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

namespace korvex::host::platform {

void* openLibrary(const std::string& path, std::string& error) {
    // Local binding: a plug-in's own symbols never satisfy another module's references.
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* reason = dlerror();
        error = reason != nullptr ? reason : "unknown error";
    }
    return handle;
}

void* findSymbol(void* handle, const char* symbol) { return dlsym(handle, symbol); }

void closeLibrary(void* handle) { dlclose(handle); }

const char* libraryPrefix() { return "lib"; }

const char* libraryExtension() { return ".so"; }

std::string executableDirectory() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return ".";
    std::string program(path, static_cast<std::size_t>(length));
    return program.substr(0, program.find_last_of('/'));
}

// Programs live in bin/ and plug-ins in lib/, in the build tree and when installed.
std::string defaultPluginDirectory() { return executableDirectory() + "/../lib"; }

char pathSeparator() { return '/'; }

} // namespace korvex::host::platform
