#pragma once

// sensorstream and phonesim run as child processes by the program tests, and their
// output read back. Each test target that includes this defines SENSORSTREAM_PATH
// and PHONESIM_PATH.

#include "tools/common/child_process.h"

#include <chrono>
#include <cstdint>
#include <gtest/gtest.h>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace sensorstream::testing {

inline std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

#if defined(SENSORSTREAM_PATH) && defined(PHONESIM_PATH)

// Starts sensorstream on port and waits until its device listens.
inline std::unique_ptr<kxtools::ChildProcess>
startSensorstream(std::uint16_t port, std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {SENSORSTREAM_PATH, "--port", std::to_string(port)});
    auto child = std::make_unique<kxtools::ChildProcess>(arguments);
    EXPECT_TRUE(child->waitForError("UDP port " + std::to_string(port), std::chrono::seconds(20)))
        << "sensorstream did not start listening";
    return child;
}

// phonesim sending to port on 127.0.0.1, run to its end.
inline kxtools::ChildResult phonesim(std::uint16_t port, std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {PHONESIM_PATH, "--quiet", "--port", std::to_string(port)});
    return kxtools::runChild(arguments, std::chrono::seconds(60));
}

#endif

} // namespace sensorstream::testing
