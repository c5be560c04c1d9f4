#pragma once

// What the host must receive for the datagrams a simulated phone sent: the
// structures a sensor device and the converter make of each reading, in order,
// with the text app's fix selection applied as the device applies it.

#include "tools/phonesim/reading.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace sensorstream::testing {

struct ExpectedReading {
    std::int32_t measurement = 0;
    // The data fields the structure sets, with their values; all others are unset
    // (Timestamp and Measurement are always set and not listed).
    std::vector<std::pair<std::string, double>> fields;
};

std::vector<ExpectedReading> expectedReadings(const std::vector<phonesim::Reading>& sent);

// How many location fixes of the text app the device passes over.
std::size_t skippedFixes(const std::vector<phonesim::Reading>& sent);

} // namespace sensorstream::testing
