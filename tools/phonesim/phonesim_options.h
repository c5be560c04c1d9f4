#pragma once

// The command line of phonesim.

#include "tools/common/option_parser.h"
#include "tools/phonesim/reading.h"

#include <cstdint>
#include <optional>
#include <string>

namespace phonesim {

constexpr std::uint16_t DEFAULT_PORT = 50000; // the sensor devices' first choice

// A replay is paced by datagrams alone, so it may go well beyond the scenario's
// motion rate: fast enough to load a receiver on this computer.
constexpr double MAX_REPLAY_RATE = 500000.0;

struct Settings {
    std::optional<App> app; // text when not given
    std::string host = "127.0.0.1";
    std::uint16_t port = DEFAULT_PORT;
    std::optional<double> rate;         // motion readings, or replayed datagrams, per second
    std::optional<double> speed;        // a replay's pace as a multiple of the recorded one
    std::optional<std::uint64_t> count; // datagrams
    std::optional<double> duration;     // seconds
    std::optional<std::uint64_t> seed;
    std::string bindAddress;
    std::string recordPath;
    std::string replayPath;
    bool quiet = false;
};

// A parser that fills settings as it reads the arguments.
kxtools::OptionParser makeOptionParser(Settings& settings);

// Rules between options, checked after parsing. Throws kxtools::UsageError.
void checkSettings(const Settings& settings);

} // namespace phonesim
