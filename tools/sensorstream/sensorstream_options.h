#pragma once

// The command line of sensorstream.

#include "mqtt_settings.h"
#include "phone_app.h"
#include "phone_spec.h"
#include "tools/common/option_parser.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sensorstream {

// How readings are written: JSON lines, CSV with a header, or a table for people.
enum class Format { Json, Csv, Table };

// The name of the one phone of a run without --phone.
constexpr const char* DEFAULT_PHONE_NAME = "phone";
// Phones in one run, at most: each has a device, a socket and a thread.
constexpr std::size_t MAX_PHONES = 256;

struct Settings {
    // The phones, each with a device of its own: --phone, or once completeSettings
    // ran, the one phone of --app and --port.
    std::vector<PhoneSpec> phones;
    App app = App::Text;
    std::uint16_t port = 0;         // 0: the device searches, 50000 first
    bool appOrPortGiven = false;    // --app or --port, which --phone replaces
    std::string bind = "127.0.0.1"; // empty: every local address
    Format format = Format::Json;
    std::string outputPath; // empty: standard output
    std::optional<std::uint64_t> count;
    std::optional<double> duration; // seconds
    bool live = false;
    double hintAfter = 10.0;         // seconds without a datagram before the hint; 0: never
    std::string recordDatagramsPath; // empty: no recording (datagram_recording.h)
    std::string healthPath;          // empty: no stream health report
    MqttSettings mqtt;
};

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

// The checks and defaults that need every option: the one phone of --app and
// --port when no --phone was given (--phone with either of them is a mistake), and
// the broker's (completeMqttSettings). Throws kxtools::UsageError.
void completeSettings(Settings& settings, const char* mqttPasswordFromEnvironment);

} // namespace sensorstream
