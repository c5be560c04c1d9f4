#include "host/i18n/unicode.h"
#include "plugin_loader.h"

#include <windows.h>

namespace korvex::host::platform {

namespace {

std::string describe(DWORD code) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string message =
        length != 0 ? korvex::unicode::utf16ToUtf8(text, length) : "error " + std::to_string(code);
    LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r'))
        message.pop_back();
    return message;
}

} // namespace

void* openLibrary(const std::string& path, std::string& error) {
    const std::wstring widePath = korvex::unicode::utf8ToUtf16<wchar_t>(path.data(), path.size());
    HMODULE module = LoadLibraryW(widePath.c_str());
    if (module == nullptr)
        error = describe(GetLastError());
    return reinterpret_cast<void*>(module);
}

void* findSymbol(void* handle, const char* symbol) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), symbol));
}

void closeLibrary(void* handle) { FreeLibrary(static_cast<HMODULE>(handle)); }

const char* libraryPrefix() { return ""; }

const char* libraryExtension() { return ".dll"; }

std::string executableDirectory() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length == MAX_PATH)
        return ".";
    std::string program = korvex::unicode::utf16ToUtf8(path, length);
    return program.substr(0, program.find_last_of("\\/"));
}

// Windows finds a program's DLLs beside it, so plug-ins live there too.
std::string defaultPluginDirectory() { return executableDirectory(); }

char pathSeparator() { return '\\'; }

} // namespace korvex::host::platform
