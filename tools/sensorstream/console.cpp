#include "console.h"

namespace sensorstream {

std::string cutToColumns(const std::string& text, std::size_t columns) {
    std::size_t seen = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool startsCharacter = (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
        if (startsCharacter && seen++ == columns)
            return text.substr(0, i);
    }
    return text;
}

Console::Console(std::FILE* stream, bool blockTerminal, bool outputTerminal, bool errorTerminal)
    : blockStream(stream), blockIsTerminal(blockTerminal), outputIsTerminal(outputTerminal),
      errorIsTerminal(errorTerminal) {}

bool Console::sharesScreenWithBlock(std::FILE* stream) const {
    if (stream == blockStream)
        return true;
    const bool streamIsTerminal =
        (stream == stdout && outputIsTerminal) || (stream == stderr && errorIsTerminal);
    return streamIsTerminal && blockIsTerminal;
}

void Console::eraseLocked() {
    if (drawnLines == 0)
        return;
    std::string erase = "\r";
    if (drawnLines > 1)
        erase += "\033[" + std::to_string(drawnLines - 1) + "A";
    erase += "\033[J";
    std::fputs(erase.c_str(), blockStream);
    drawnLines = 0;
}

void Console::drawLocked() {
    if (block.empty())
        return;
    std::string text;
    for (std::size_t i = 0; i < block.size(); ++i)
        text += (i == 0 ? "" : "\n") + block[i];
    std::fputs(text.c_str(), blockStream);
    std::fflush(blockStream);
    drawnLines = block.size();
}

void Console::showBlock(const std::vector<std::string>& lines, std::size_t width) {
    std::lock_guard<std::mutex> lock(mutex);
    eraseLocked();
    block.clear();
    for (const auto& line : lines)
        block.push_back(cutToColumns(line, width > 1 ? width - 1 : width));
    drawLocked();
}

void Console::releaseBlock() {
    std::lock_guard<std::mutex> lock(mutex);
    if (drawnLines > 0) {
        std::fputs("\n", blockStream);
        std::fflush(blockStream);
    }
    drawnLines = 0;
    block.clear();
}

void Console::eraseBlock() {
    std::lock_guard<std::mutex> lock(mutex);
    eraseLocked();
    std::fflush(blockStream);
    block.clear();
}

bool Console::write(std::FILE* stream, const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex);
    const bool redraw = drawnLines > 0 && sharesScreenWithBlock(stream);
    if (redraw) {
        eraseLocked();
        std::fflush(blockStream);
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), stream) == text.size();
    const bool flushed = std::fflush(stream) == 0;
    if (redraw)
        drawLocked();
    return written && flushed;
}

void Console::say(const std::string& text) { write(stderr, "sensorstream: " + text + "\n"); }

} // namespace sensorstream
