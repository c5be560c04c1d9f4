#pragma once

// What sensorstream needs to know about a terminal: whether a stream is one, and
// how wide it is. Platform code in terminal_<platform>.cpp.

#include <cstddef>
#include <cstdio>

namespace sensorstream {

bool isTerminal(std::FILE* stream);

// Columns of the terminal behind stream; 80 when it cannot be told.
std::size_t terminalWidth(std::FILE* stream);

// Makes the terminal behind stream understand ANSI cursor and erase sequences
// (needed on Windows consoles; nothing to do elsewhere). False when it cannot.
bool enableAnsiSequences(std::FILE* stream);

} // namespace sensorstream
