#pragma once

// The block at the foot of the screen: the status line (readings so far and their
// rates, a line a phone when there are several, the broker's state), and with
// --live the live table above it; redrawn a few times a second.

#include "console.h"
#include "health_watch.h"
#include "live_table.h"
#include "outgoing_batch.h"
#include "reading_stats.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sensorstream {

// Where the block goes: the live table on standard output; the status line on
// standard error, and only when that is a terminal (a log gets no status lines).
struct StatusPlacement {
    bool onOutput = false;   // on standard output, else on standard error
    bool onTerminal = false; // that stream is a terminal
    bool shown = false;      // drawn at all
};

StatusPlacement placeStatus(bool live, bool outputIsTerminal, bool errorIsTerminal);

// statusText, and until the first reading where the program waits for it.
std::string statusLine(double seconds, const MeasurementCounts& counts,
                       const MeasurementRates& rates, std::uint16_t port);

// A phone as the status block shows it.
struct StatusPhone {
    std::string name;
    std::uint16_t port = 0;   // its device's
    std::string sectionTitle; // its part of the live table (several phones)
};

struct StatusSettings {
    bool shown = false;
    std::size_t width = 200;                     // columns the lines are cut to
    std::vector<StatusPhone> phones;             // in the order of the counts
    const LiveTable* live = nullptr;             // --live: the table above the status line
    std::string liveTitle;                       // its title line
    const ReadingPublisher* publisher = nullptr; // set: the broker's state is shown
    const HealthWatch* health = nullptr;         // set: the streams' gaps are shown
};

class StatusView {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr Clock::duration PERIOD = std::chrono::milliseconds(250);

    // start: when the devices began to listen; counts: the readings output so far.
    StatusView(Console& console, const ReadingCounts& counts, Clock::time_point start,
               StatusSettings settings);

    // Draws the block when it is shown and PERIOD has passed since the last drawing.
    void update(Clock::time_point now);
    // At the end: the last live table stays on the screen; the status line goes.
    void finish(Clock::time_point end);

private:
    void draw(Clock::time_point now);

    Console& console;
    const ReadingCounts& counts;
    Clock::time_point start;
    StatusSettings settings;
    std::vector<RateMeter> meters; // a phone
    Clock::time_point nextDrawing;
};

} // namespace sensorstream
