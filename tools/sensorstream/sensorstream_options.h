#pragma once

// The command line of sensorstream.

#include "tools/common/option_parser.h"

#include <cstdint>
#include <optional>
#include <string>

namespace sensorstream {

// The two phone apps and the device plug-in that receives each.
enum class App { Text, Binary };

// How readings are written: JSON lines, CSV with a header, or a table for people.
enum class Format { Json, Csv, Table };

struct Settings {
    App app = App::Text;
    std::uint16_t port = 0;         // 0: the device searches, 50000 first
    std::string bind = "127.0.0.1"; // empty: every local address
    Format format = Format::Json;
    std::string outputPath; // empty: standard output
    std::optional<std::uint64_t> count;
    std::optional<double> duration; // seconds
    bool live = false;
    double hintAfter = 10.0; // seconds without a datagram before the hint; 0: never
};

// The device plug-in of an app: kinedgram or kinescope.
const char* devicePluginName(App app);
const char* appName(App app); // "text" or "binary"

// Whether text is a dotted IPv4 address such as 192.168.1.20 (four numbers 0 to
// 255, no leading zeros, nothing else).
bool isDottedIPv4(const std::string& text);

// Whether a --bind address lets in only this computer (127.x.x.x): a phone cannot
// reach it. False for the empty text (every address).
bool isLoopbackOnly(const std::string& bind);

// The --bind value as a device takes it: a dotted IPv4 address, or "" for "any"
// and 0.0.0.0 (every address). Throws kxtools::UsageError naming option.
std::string bindAddressOf(const std::string& value, const std::string& option);

// A parser that fills settings as it reads the arguments.
kxtools::OptionParser makeOptionParser(Settings& settings);

} // namespace sensorstream
