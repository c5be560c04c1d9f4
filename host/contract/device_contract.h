#pragma once

#include "host/property_list.h"

#include <functional>
#include <gtest/gtest.h>
#include <ostream>
#include <string>

// The lifecycle suite that every device plug-in must pass, run against the built
// library loaded with the platform loader. A device's test program instantiates it:
//
//   INSTANTIATE_TEST_SUITE_P(Kinedgram, DeviceContract,
//       testing::Values(korvex::host::contract::DeviceCase{"kinedgram", ...}));

namespace korvex::host::contract {

struct DeviceCase {
    // Library name, as libraryFileName() takes it.
    std::string plugin;
    // Fills options that init accepts.
    std::function<void(Options&)> acceptedOptions = [](Options&) {};
    // Fills options that init must reject; empty when the device rejects nothing.
    std::function<void(Options&)> rejectedOptions;
    // The texts of the "KORVEX:<plugin>:runtimeError" message that an operation posts
    // when it met a std::exception (empty: the exception's own text), when memory ran
    // out, and when it met anything else.
    std::string exceptionText{};
    std::string outOfMemoryText = "Out of memory.";
    std::string unknownText = "An unexpected error occurred.";
};

inline std::ostream& operator<<(std::ostream& out, const DeviceCase& c) { return out << c.plugin; }

class DeviceContract : public testing::TestWithParam<DeviceCase> {};

} // namespace korvex::host::contract
