#pragma once

// A deterministic, seedable simulated phone: a person walking a loop, and the
// readings the phone app sends about it, in send order.
//
// Motion readings come at the motion rate, each tick one of every motion kind:
// text app "A", "M", "O"; binary app 0x20, 0x30, 0x10. Location fixes come once a
// second. The text app sends a "G" fix on every whole second and an "N" fix half a
// second later; the "N" fixes are coarser (18 to 40 m) and a little old. Every
// tenth "G" fix is a poor one (15 to 25 m), and in seconds 35 to 59 of each minute
// there is no "G" fix at all, as under trees: so the receiver's fix selection has
// better, worse, stale and switching fixes to choose from. The binary app sends one
// 0x40 record on every whole second, a poor one every fifteenth.
//
// Values are rounded to a sensor's resolution (for example 0.0001 m/s², 1e-7
// degrees of latitude), and a reading holds exactly the rounded values, which are
// exactly what the datagram carries.

#include "noise_source.h"
#include "reading.h"
#include "walk_model.h"

#include <cstdint>
#include <deque>

namespace phonesim {

struct ScenarioConfig {
    App app = App::Text;
    std::uint64_t seed = 1;
    double motionRate = 50.0;                 // motion ticks per second
    std::int64_t startTimeMs = 1704067200000; // the phone's clock at the start (2024-01-01 UTC)
};

// The fix pattern, for the receiving side and the tests.
constexpr double TEXT_N_FIX_DELAY = 0.5;  // seconds after the whole second
constexpr int G_OUTAGE_FIRST_SECOND = 35; // of each minute
constexpr int G_OUTAGE_LAST_SECOND = 59;
constexpr int G_POOR_EVERY = 10; // a poor "G" fix on seconds 7, 17, 27, ...
constexpr int BINARY_POOR_EVERY = 15;

// The highest motion rate the scenario accepts, in ticks per second.
constexpr double MAX_MOTION_RATE = 10000.0;

class Scenario {
public:
    // Throws std::invalid_argument for a motion rate that is not in (0, 10000].
    explicit Scenario(const ScenarioConfig& config);

    // The next reading in send order. Never runs out.
    Reading next();

    const ScenarioConfig& config() const { return settings; }
    const WalkParameters& walk() const { return walkParameters; }

private:
    void addMotionTick(double time);
    void addTextFix(Kind kind, int second, double time);
    void addBinaryFix(int second, double time);
    Reading& add(Kind kind, double time);

    ScenarioConfig settings;
    NoiseSource noise;
    WalkParameters walkParameters;
    std::uint64_t nextSequence = 0;
    std::uint64_t motionTick = 0; // the next tick to make
    int gSecond = 0;              // the next second of a "G" fix or a 0x40 record
    int nSecond = 0;              // the next second of an "N" fix
    std::deque<Reading> pending;  // made but not yet handed out
};

} // namespace phonesim
