#pragma once

// One simulated sensor reading as a datagram carries it, for either phone app.

#include <array>
#include <cstddef>
#include <cstdint>

namespace phonesim {

// The two phone apps: one sends comma-separated text lines, the other fixed-length
// little-endian binary records.
enum class App { Text, Binary };

// Every datagram kind of both apps, with the values it carries in datagram order.
// Units are those on the wire; see the scale constants below for what the devices
// make of them.
enum class Kind : std::uint8_t {
    TextAcceleration,   // "A": x, y, z in m/s², gravity included
    TextMagneticField,  // "M": x, y, z in microtesla
    TextOrientation,    // "O": azimuth, pitch, roll in degrees
    TextFixG,           // "G": altitude (m), latitude, longitude (degrees), fix time (ms since
                        //      the Unix epoch), accuracy (m), speed (m/s)
    TextFixN,           // "N": the same fields, from the phone's second kind of fix
    BinaryHeading,      // 0x10: true heading, magnetic heading, heading accuracy (degrees),
                        //       magnetic field x, y, z in microtesla
    BinaryAcceleration, // 0x20: x, y, z in units of g, gravity included
    BinaryRotationRate, // 0x30: x, y, z in rad/s
    BinaryLocation,     // 0x40: latitude, longitude (degrees), altitude (m), horizontal and
                        //       vertical accuracy (m), course (degrees), speed (m/s)
};

constexpr std::size_t KIND_COUNT = 9;
constexpr std::size_t MAX_VALUES = 7;

// What the receiving devices do with the wire values: magnetic fields are divided
// by MAGNETIC_FIELD_SCALE (microtesla on the wire, tesla in the sample buffers),
// binary accelerations are multiplied by GRAVITY. Everything else passes unchanged.
constexpr double MAGNETIC_FIELD_SCALE = 1000000.0;
constexpr double GRAVITY = 9.81;

struct Reading {
    Kind kind = Kind::TextAcceleration;
    std::uint64_t sequence = 0;   // position in the send order, from 0
    double time = 0.0;            // seconds after the start at which it is sent
    std::int64_t phoneTimeMs = 0; // the phone's clock when it is sent (ms since the Unix epoch)
    std::array<double, MAX_VALUES> values{}; // the first valueCount(kind) are used
};

App appOf(Kind kind);

// "A", "M", "O", "G", "N", "0x10", "0x20", "0x30", "0x40".
const char* kindName(Kind kind);

// The number of values a kind carries (3, 6 or 7).
std::size_t valueCount(Kind kind);

// The byte that tells the kind apart: the first byte of a text datagram, the byte
// at offset 7 of a binary record.
std::uint8_t kindCode(Kind kind);

// The time of a location fix in ms since the Unix epoch: field 6 of a text fix,
// the phone's clock for a binary location record (which carries no time of its own).
double fixTimeMs(const Reading& reading);

bool isLocationFix(Kind kind);

// Tells which kind a datagram of an app is, by the same bytes and lengths the
// devices look at. False for anything they would drop at once.
bool classifyDatagram(App app, const std::uint8_t* data, std::size_t length, Kind& kind);

} // namespace phonesim
