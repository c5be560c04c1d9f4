#pragma once

// Writing to standard output and error while a block of lines (the status line, or
// the live table) stays at the bottom of the screen: before other text reaches the
// screen the block is erased, and afterwards drawn again below it. All writes of
// the program go through one Console, from any thread.

#include <cstddef>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

namespace sensorstream {

class Console {
public:
    // blockStream: where the block is drawn. The terminal flags say which of the
    // standard streams are terminals (tests pass what they need).
    Console(std::FILE* blockStream, bool blockIsTerminal, bool outputIsTerminal,
            bool errorIsTerminal);

    // Replaces the block by these lines, each cut to width - 1 columns so that no
    // line wraps (a wrapped line would break the erasing).
    void showBlock(const std::vector<std::string>& lines, std::size_t width);
    // Leaves the block on the screen and moves below it, for good.
    void releaseBlock();
    // Erases the block.
    void eraseBlock();

    // Writes text (whole lines) to stream and flushes it, keeping the block below.
    // False on a write error.
    bool write(std::FILE* stream, const std::string& text);
    // One message of the program on standard error: "sensorstream: text".
    void say(const std::string& text);

private:
    bool sharesScreenWithBlock(std::FILE* stream) const;
    void eraseLocked();
    void drawLocked();

    std::mutex mutex;
    std::FILE* blockStream;
    bool blockIsTerminal;
    bool outputIsTerminal;
    bool errorIsTerminal;
    std::vector<std::string> block; // the lines to show, already cut
    std::size_t drawnLines = 0;     // lines of the block on the screen now
};

// Cuts text to at most columns characters (UTF-8 code points).
std::string cutToColumns(const std::string& text, std::size_t columns);

} // namespace sensorstream
