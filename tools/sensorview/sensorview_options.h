#pragma once

// The command line of sensorview.

#include "tools/common/option_parser.h"
#include "tools/sensorstream/phone_spec.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sensorview {

struct Settings {
    // Empty until parsed: then --phone's phones, or one of each app.
    std::vector<sensorstream::PhoneSpec> phones;
    std::string bind = "127.0.0.1"; // where the phones' datagrams come in; "" every address
    std::string httpAddress = "127.0.0.1";
    std::uint16_t httpPort = 8080; // 0: a free port the system picks
    std::optional<std::string> camera;
    std::size_t maxClients = 4;
    std::size_t clientQueue = 64;   // messages that may wait for one browser
    std::optional<double> duration; // seconds
};

kxtools::OptionParser makeOptionParser(Settings& settings);

// Fills what the command line left to its defaults (the phones).
void completeSettings(Settings& settings);

} // namespace sensorview
