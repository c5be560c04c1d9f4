#include "terminal.h"

#include <io.h>
#include <windows.h>

namespace sensorstream {

namespace {

HANDLE consoleOf(std::FILE* stream) {
    return reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));
}

} // namespace

bool isTerminal(std::FILE* stream) { return ::_isatty(::_fileno(stream)) != 0; }

std::size_t terminalWidth(std::FILE* stream) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (::GetConsoleScreenBufferInfo(consoleOf(stream), &info) != 0) {
        const int columns = info.srWindow.Right - info.srWindow.Left + 1;
        if (columns > 0)
            return static_cast<std::size_t>(columns);
    }
    return 80;
}

bool enableAnsiSequences(std::FILE* stream) {
    // Windows 10 and later interpret the sequences once asked to.
    constexpr DWORD VIRTUAL_TERMINAL_PROCESSING = 0x0004;
    HANDLE console = consoleOf(stream);
    // The sparklines are UTF-8 block characters.
    ::SetConsoleOutputCP(CP_UTF8);
    DWORD mode = 0;
    if (::GetConsoleMode(console, &mode) == 0)
        return false;
    return ::SetConsoleMode(console, mode | VIRTUAL_TERMINAL_PROCESSING) != 0;
}

} // namespace sensorstream
