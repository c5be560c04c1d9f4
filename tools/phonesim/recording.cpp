#include "recording.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace phonesim {

namespace {

constexpr char HEADER[] = "# phonesim recording";
constexpr char APP_LINE[] = "# app ";
constexpr char ARRIVAL_LINE[] = "# arrival monotonic ";

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool startsWith(const std::string& text, const char* prefix, std::size_t length) {
    return text.compare(0, length, prefix) == 0;
}

// The text after a header line's prefix, without a Windows line end.
std::string headerValue(const std::string& text, std::size_t prefixLength) {
    std::string value = text.substr(prefixLength);
    if (!value.empty() && value.back() == '\r')
        value.pop_back();
    return value;
}

[[noreturn]] void fail(std::size_t line, const std::string& what) {
    throw RecordingError("line " + std::to_string(line) + ": " + what);
}

RecordedDatagram parseLine(const std::string& text, std::size_t line) {
    const auto space = text.find(' ');
    if (space == std::string::npos)
        fail(line, "expected a time, a space and the datagram's bytes in hex");
    RecordedDatagram datagram;
    const char* begin = text.data();
    const auto [end, error] = std::from_chars(begin, begin + space, datagram.time);
    if (error != std::errc() || end != begin + space || !std::isfinite(datagram.time) ||
        datagram.time < 0.0)
        fail(line, "'" + text.substr(0, space) + "' is not a time in seconds (0 or more)");

    std::string hex = text.substr(space + 1);
    if (!hex.empty() && hex.back() == '\r') // written on Windows
        hex.pop_back();
    if (hex.empty())
        fail(line, "the datagram has no bytes");
    if (hex.size() % 2 != 0)
        fail(line, "odd number of hex digits");
    if (hex.size() / 2 > MAX_DATAGRAM)
        fail(line, "datagram longer than " + std::to_string(MAX_DATAGRAM) + " bytes");
    datagram.bytes.reserve(hex.size() / 2);
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int high = hexValue(hex[i]);
        const int low = hexValue(hex[i + 1]);
        if (high < 0 || low < 0)
            fail(line, "'" + hex.substr(i, 2) + "' is not a hex byte");
        datagram.bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
    }
    return datagram;
}

} // namespace

const char* appName(App app) { return app == App::Text ? "text" : "binary"; }

RecordingWriter::RecordingWriter(std::ostream& out, App app, std::optional<double> arrivalOrigin)
    : stream(out) {
    stream << HEADER << "\n" << APP_LINE << appName(app) << "\n";
    if (arrivalOrigin) {
        char origin[64];
        std::snprintf(origin, sizeof origin, "%.6f", *arrivalOrigin);
        stream << ARRIVAL_LINE << origin << "\n";
    }
}

void RecordingWriter::write(double time, const std::vector<std::uint8_t>& bytes) {
    write(time, bytes.data(), bytes.size());
}

void RecordingWriter::write(double time, const std::uint8_t* bytes, std::size_t size) {
    static const char DIGITS[] = "0123456789abcdef";
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%.6f ", time);
    std::string line(stamp);
    line.reserve(line.size() + 2 * size + 1);
    for (std::size_t i = 0; i < size; ++i) {
        line += DIGITS[bytes[i] >> 4];
        line += DIGITS[bytes[i] & 0x0F];
    }
    line += '\n';
    stream << line;
}

Recording readRecording(std::istream& in) {
    Recording recording;
    std::string text;
    std::size_t line = 0;
    while (std::getline(in, text)) {
        ++line;
        if (text.empty() || text == "\r")
            continue;
        if (text[0] == '#') {
            if (startsWith(text, ARRIVAL_LINE, sizeof ARRIVAL_LINE - 1)) {
                const std::string value = headerValue(text, sizeof ARRIVAL_LINE - 1);
                double origin = 0.0;
                const char* end = value.data() + value.size();
                const auto parsed = std::from_chars(value.data(), end, origin);
                if (value.empty() || parsed.ec != std::errc() || parsed.ptr != end ||
                    !std::isfinite(origin) || origin < 0.0)
                    fail(line, "'" + value + "' is not a monotonic time in seconds (0 or more)");
                recording.arrivalOrigin = origin;
            } else if (startsWith(text, APP_LINE, sizeof APP_LINE - 1)) {
                const std::string name = headerValue(text, sizeof APP_LINE - 1);
                if (name == "text")
                    recording.app = App::Text;
                else if (name == "binary")
                    recording.app = App::Binary;
                else
                    fail(line, "unknown app '" + name + "' (text or binary)");
            }
            continue;
        }
        recording.datagrams.push_back(parseLine(text, line));
    }
    if (in.bad())
        throw RecordingError("read error after line " + std::to_string(line));
    return recording;
}

} // namespace phonesim
