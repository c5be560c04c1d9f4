#pragma once

// Recording what a phone really sent: every datagram that a loaded sensor device
// accepted, its exact bytes and its arrival time, written as a phonesim recording
// whose "# arrival monotonic" line names the instant the times count from, so that
// `phonesim --replay` sends the same bytes again with the same pacing.
//
// The bytes come from kinelink's datagram tap (mobilesensor/datagram_tap.h): the
// listener inside the device offers each datagram it accepts to the program before
// the device parses it, so the recording holds exactly what the device was given,
// on the same socket and through the same single-sender rule.

#include "mobilesensor/datagram_tap.h"
#include "tools/phonesim/recording.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <ostream>
#include <vector>

namespace arrivals {

// Writes one phone's datagrams into a stream. Any thread, one call at a time.
class DatagramRecorder {
public:
    // Writes the header at once. origin: the monotonic instant (seconds) that the
    // arrival times written count from.
    DatagramRecorder(std::ostream& out, phonesim::App app, double origin);

    // A datagram that arrived at `arrival` (monotonic seconds); an arrival before
    // the origin is written as 0.
    void record(double arrival, const std::uint8_t* bytes, std::size_t size);

    // Any thread.
    std::uint64_t recorded() const { return count.load(); }

private:
    phonesim::RecordingWriter writer;
    const double originSeconds;
    std::atomic<std::uint64_t> count{0};
};

// Sets kinelink's datagram tap for as long as it lives and hands each datagram to
// the recorder of the port that accepted it. A device that searched for its port
// names it only once open has returned, and its phone may have sent by then: the
// datagrams of a port with no recorder yet are held (up to HELD_PER_PORT of them)
// and written, oldest first, when the port is routed.
//
// Threads: route, recorders() and the destructor on the owner's thread; the tap on
// the listeners' threads. The destructor removes the tap and waits for a call in
// progress, so that no recorder is written once it has returned.
class TapRecording {
public:
    static constexpr std::size_t HELD_PER_PORT = 100000;

    TapRecording();
    ~TapRecording();
    TapRecording(const TapRecording&) = delete;
    TapRecording& operator=(const TapRecording&) = delete;

    // From now on the datagrams of port go to recorder, which must outlive this
    // object; those held for the port are written first.
    void route(std::uint16_t port, DatagramRecorder& recorder);

    // Datagrams held for ports never routed, and those beyond the bound.
    std::uint64_t unrouted() const;

private:
    struct Held {
        double arrival;
        std::vector<std::uint8_t> bytes;
    };
    void accept(const mobilesensor::TappedDatagram& datagram);

    mutable std::mutex mutex;
    std::map<std::uint16_t, DatagramRecorder*> routes;  // guarded by mutex
    std::map<std::uint16_t, std::vector<Held>> waiting; // guarded by mutex
    std::uint64_t overflow = 0;                         // guarded by mutex
};

} // namespace arrivals
