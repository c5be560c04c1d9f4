#pragma once

// The sending loop: takes datagrams from a source, waits for each one's due time
// and hands it to a sink, until a count, a duration, the source's end or Ctrl-C.
// Due times are absolute, counted from one start instant, so pacing never drifts:
// a late send makes the next wait shorter, and a datagram whose time has passed
// goes out at once.

#include "datagram_source.h"
#include "tools/phonesim/reading.h"
#include "tools/phonesim/recording.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace phonesim {

class DatagramSink {
public:
    virtual ~DatagramSink() = default;
    // Throws std::runtime_error when the datagram cannot be sent.
    virtual void send(const std::vector<std::uint8_t>& bytes) = 0;
};

// The clock of the loop; a test gives it a fake one.
class Pacer {
public:
    virtual ~Pacer() = default;
    // Waits until seconds after the start. False when a stop was asked for first.
    virtual bool waitUntil(double seconds) = 0;
    // Seconds since the start.
    virtual double elapsed() const = 0;
};

// The steady clock, interrupted by Ctrl-C; its start is the moment it is made.
class SteadyPacer : public Pacer {
public:
    SteadyPacer();
    bool waitUntil(double seconds) override;
    double elapsed() const override;

private:
    std::chrono::steady_clock::time_point start;
};

struct SendLimits {
    std::optional<std::uint64_t> count; // datagrams
    std::optional<double> duration;     // seconds
};

struct SendSummary {
    std::array<std::uint64_t, KIND_COUNT> perKind{};
    std::uint64_t other = 0; // datagrams of no kind the app knows (in a replay)
    std::uint64_t total = 0;
    double seconds = 0.0;
    bool interrupted = false; // ended by Ctrl-C
};

// classifyAs is the app whose kinds are counted; without it every datagram counts
// as other. Every datagram sent is also written to recorder, when there is one.
SendSummary sendDatagrams(DatagramSource& source, DatagramSink& sink, Pacer& pacer,
                          const SendLimits& limits, std::optional<App> classifyAs,
                          RecordingWriter* recorder);

// "sent 304 datagrams in 2.00 s (A 100, M 100, O 100, G 2, N 2)".
std::string summaryText(const SendSummary& summary, std::optional<App> app);

} // namespace phonesim
