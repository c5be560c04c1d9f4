#pragma once

// What a test has written to a temporary file that stands for a stream.

#include <cstdio>
#include <string>

namespace sensorstream::testing {

// Everything written to file so far (it is left at its end).
inline std::string contentsOf(std::FILE* file) {
    std::fflush(file);
    std::rewind(file);
    std::string text;
    for (int c; (c = std::fgetc(file)) != EOF;)
        text += static_cast<char>(c);
    return text;
}

} // namespace sensorstream::testing
