#pragma once

#include "conduit/interfaces/data_buffer.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <ostream>
#include <vector>

// The two sensor device plug-ins as the fault and load tests see them: how to
// write a reading that the device turns into exactly one buffer carrying a tag
// (which sender, which reading), how to write datagrams it must drop as malformed,
// and how to read the tag back from a buffer.

namespace reliability {

// Carried by a reading through the device into its buffer.
struct Tag {
    std::uint32_t sender = 0;   // 1, 2, 3: the loopback address 127.0.0.<sender> sent it
    std::uint64_t sequence = 0; // per sender, from 0
    std::uint32_t cycle = 0;    // the open/close cycle it was sent in
};

// Room for every datagram these functions write.
constexpr std::size_t MAX_TEST_DATAGRAM = 256;

struct SensorApp {
    const char* plugin;      // library name
    const char* name;        // for test names
    std::size_t receiveSize; // the longest datagram the device receives whole

    // Writes a reading carrying tag into out (MAX_TEST_DATAGRAM bytes); its length.
    std::size_t (*writeReading)(const Tag& tag, std::uint8_t* out);
    // Writes a datagram that the device drops as malformed; variant picks one of
    // several kinds (wrong length, unknown kind, bad number). Its length.
    std::size_t (*writeMalformed)(std::uint64_t variant, std::uint8_t* out);
};

const SensorApp& kinedgramApp();
const SensorApp& kinescopeApp();

std::ostream& operator<<(std::ostream& out, const SensorApp& app);

// The tag a buffer made from a reading carries; empty for any other buffer.
std::optional<Tag> tagOf(const conduit::interfaces::IDataBuffer& buffer);

} // namespace reliability
