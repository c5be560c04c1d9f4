#include "sensor_apps.h"

#include "mobilesensor/device/testing/sample_view.h"

#include <cstdio>
#include <cstring>

namespace reliability {

namespace {

std::size_t writeText(std::uint8_t* out, const char* format, unsigned long long a,
                      unsigned long long b, unsigned long long c) {
    const int length =
        std::snprintf(reinterpret_cast<char*>(out), MAX_TEST_DATAGRAM, format, a, b, c);
    return length > 0 ? static_cast<std::size_t>(length) : 0;
}

// Text app: an acceleration line "A,<time>,<count>,x,y,z" and the terminator byte;
// the values come through unscaled. (The first fields make it long enough.)
std::size_t textReading(const Tag& tag, std::uint8_t* out) {
    return writeText(out, "A,1000000,1000000,%llu,%llu,%llu\n", tag.sender, tag.sequence,
                     tag.cycle);
}

std::size_t textMalformed(std::uint64_t variant, std::uint8_t* out) {
    switch (variant % 3) {
    case 0: // five fields
        return writeText(out, "A,1000000,1000000,%llu,%llu\n", 1, variant, 0);
    case 1: // no such kind
        return writeText(out, "Q,1000000,1000000,%llu,%llu,%llu\n", 1, variant, 0);
    default: // a value that is no number
        return writeText(out, "A,1000000,1000000,%llu,%llux,%llu\n", 1, variant, 0);
    }
}

void putDouble(std::uint8_t* out, std::size_t offset, double value) {
    std::memcpy(out + offset, &value, sizeof value); // little-endian hosts only
}

// Binary app: a 40-byte rotation-rate record (type 0x30), whose three doubles come
// through unscaled.
std::size_t binaryReading(const Tag& tag, std::uint8_t* out) {
    std::memset(out, 0, 40);
    out[7] = 0x30;
    putDouble(out, 16, tag.sender);
    putDouble(out, 24, static_cast<double>(tag.sequence));
    putDouble(out, 32, tag.cycle);
    return 40;
}

std::size_t binaryMalformed(std::uint64_t variant, std::uint8_t* out) {
    binaryReading(Tag{1, variant, 0}, out);
    switch (variant % 3) {
    case 0: // one byte too long for its type
        out[40] = 0;
        return 41;
    case 1: // no such type
        out[7] = 0x50;
        return 40;
    default: // shorter than the type code's offset
        return 5;
    }
}

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "records hold little-endian doubles");

} // namespace

const SensorApp& kinedgramApp() {
    static const SensorApp app{"kinedgram", "Kinedgram", 200, textReading, textMalformed};
    return app;
}

const SensorApp& kinescopeApp() {
    static const SensorApp app{"kinescope", "Kinescope", 72, binaryReading, binaryMalformed};
    return app;
}

std::ostream& operator<<(std::ostream& out, const SensorApp& app) { return out << app.name; }

std::optional<Tag> tagOf(const conduit::interfaces::IDataBuffer& buffer) {
    const mobilesensor::testing::Sample sample = mobilesensor::testing::describe(buffer);
    if ((sample.kind != 'A' && sample.kind != 'G') || sample.values.size() != 3)
        return std::nullopt;
    return Tag{static_cast<std::uint32_t>(sample.values[0]),
               static_cast<std::uint64_t>(sample.values[1]),
               static_cast<std::uint32_t>(sample.values[2])};
}

} // namespace reliability
