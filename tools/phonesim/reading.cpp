#include "reading.h"

namespace phonesim {

namespace {

struct KindInfo {
    App app;
    const char* name;
    std::size_t valueCount;
    std::uint8_t code;
    std::size_t binaryLength; // the exact record length; 0 for text kinds
};

constexpr KindInfo KINDS[KIND_COUNT] = {
    {App::Text, "A", 3, 'A', 0},        {App::Text, "M", 3, 'M', 0},
    {App::Text, "O", 3, 'O', 0},        {App::Text, "G", 6, 'G', 0},
    {App::Text, "N", 6, 'N', 0},        {App::Binary, "0x10", 6, 0x10, 64},
    {App::Binary, "0x20", 3, 0x20, 40}, {App::Binary, "0x30", 3, 0x30, 40},
    {App::Binary, "0x40", 7, 0x40, 72},
};

const KindInfo& info(Kind kind) { return KINDS[static_cast<std::size_t>(kind)]; }

// The shortest text datagram the text device takes: a letter and five commas make
// six fields, plus the terminator; fixes need nine fields.
constexpr std::size_t TEXT_MOTION_MINIMUM = 16;
constexpr std::size_t TEXT_FIX_MINIMUM = 25;

} // namespace

App appOf(Kind kind) { return info(kind).app; }
const char* kindName(Kind kind) { return info(kind).name; }
std::size_t valueCount(Kind kind) { return info(kind).valueCount; }
std::uint8_t kindCode(Kind kind) { return info(kind).code; }

bool isLocationFix(Kind kind) {
    return kind == Kind::TextFixG || kind == Kind::TextFixN || kind == Kind::BinaryLocation;
}

double fixTimeMs(const Reading& reading) {
    if (reading.kind == Kind::TextFixG || reading.kind == Kind::TextFixN)
        return reading.values[3];
    return static_cast<double>(reading.phoneTimeMs);
}

bool classifyDatagram(App app, const std::uint8_t* data, std::size_t length, Kind& kind) {
    if (data == nullptr || length == 0)
        return false;
    for (std::size_t i = 0; i < KIND_COUNT; ++i) {
        const KindInfo& candidate = KINDS[i];
        if (candidate.app != app)
            continue;
        bool matches;
        if (app == App::Text) {
            const std::size_t minimum =
                candidate.valueCount == 3 ? TEXT_MOTION_MINIMUM : TEXT_FIX_MINIMUM;
            matches = data[0] == candidate.code && length >= minimum;
        } else {
            matches = length == candidate.binaryLength && data[7] == candidate.code;
        }
        if (matches) {
            kind = static_cast<Kind>(i);
            return true;
        }
    }
    return false;
}

} // namespace phonesim
