#pragma once

// Where the datagrams to send come from: the scenario, or a recording replayed.

#include "tools/phonesim/recording.h"
#include "tools/phonesim/scenario.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace phonesim {

struct OutgoingDatagram {
    double time = 0.0; // seconds from the start at which it is due
    std::vector<std::uint8_t> bytes;
};

class DatagramSource {
public:
    virtual ~DatagramSource() = default;
    // False when there is nothing more to send.
    virtual bool next(OutgoingDatagram& datagram) = 0;
};

class ScenarioSource : public DatagramSource {
public:
    explicit ScenarioSource(const ScenarioConfig& config) : scenario(config) {}
    bool next(OutgoingDatagram& datagram) override;

private:
    Scenario scenario;
};

// Sends a recording's datagrams at their recorded times, counted from the first
// one and divided by speed (2 sends twice as fast, keeping the pauses' proportions),
// or, given a rate, evenly at that many datagrams per second.
class ReplaySource : public DatagramSource {
public:
    ReplaySource(Recording recording, std::optional<double> datagramsPerSecond, double speed = 1.0);
    bool next(OutgoingDatagram& datagram) override;

private:
    Recording played;
    std::optional<double> rate;
    double speedFactor;
    std::size_t position = 0;
};

} // namespace phonesim
