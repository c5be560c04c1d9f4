#include "port_search.h"

namespace mobilesensor {

namespace {
constexpr std::uint16_t FIRST_PORT = 50000;
constexpr std::uint16_t SECOND_PORT = 60000;
constexpr std::uint16_t THIRD_PORT = 51111;
constexpr std::uint16_t STEP = 1111;
constexpr std::uint16_t LAST_BELOW_SECOND = 59999; // goes on at 61111, not 61110
constexpr std::uint16_t FIRST_ABOVE_SECOND = 61111;
// The stepped rule would go past 65535 above 64424 (64424 + 1111 = 65535); those
// values count from 49152 instead of wrapping round to a port below 1111.
constexpr std::uint16_t LAST_STEPPED_FROM = 64424;
constexpr std::uint16_t FIRST_SEQUENTIAL = 49152; // start of the dynamic port range
constexpr std::uint16_t LAST_PORT = 65535;
} // namespace

std::uint16_t getNextPortToTry(std::uint16_t portToTry, bool& sequentialSearch) {
    if (sequentialSearch)
        return portToTry == LAST_PORT ? 0 : static_cast<std::uint16_t>(portToTry + 1);
    switch (portToTry) {
    case 0:
        return FIRST_PORT;
    case FIRST_PORT:
        return SECOND_PORT;
    case SECOND_PORT:
        return THIRD_PORT;
    case LAST_BELOW_SECOND:
        return FIRST_ABOVE_SECOND;
    default:
        break;
    }
    const bool belowSecond = portToTry > FIRST_PORT && portToTry < LAST_BELOW_SECOND;
    const bool aboveSecond = portToTry > SECOND_PORT && portToTry <= LAST_STEPPED_FROM;
    if (belowSecond || aboveSecond)
        return static_cast<std::uint16_t>(portToTry + STEP);
    sequentialSearch = true;
    return FIRST_SEQUENTIAL;
}

} // namespace mobilesensor
