#pragma once

// Recordings of sent datagrams: a text file of hex lines, easy to read, to diff and
// to write by hand (for example to replay malformed datagrams).
//
//     # phonesim recording
//     # app text
//     0.000000 412c313730343036373230303030302c302c...
//     0.020000 4d2c...
//
// Each datagram is one line: the time in seconds at which it was sent, counted
// from the start, a single space, and its bytes as pairs of hex digits (either
// case). Lines starting with "#" are comments, except that "# app text" or
// "# app binary" names the app the datagrams are for, and
//
//     # arrival monotonic 5123.456789
//
// says that a receiver wrote the file: the times are when each datagram arrived,
// counted from that instant of the receiving computer's monotonic clock
// (CLOCK_MONOTONIC, in seconds), so that they can be set beside other times taken
// on that clock. Without it the times are send times. Readers that do not know the
// line skip it as a comment. Blank lines are skipped.
// A datagram holds 1 to 65507 bytes (the most UDP carries over IPv4).

#include "reading.h"

#include <cstdint>
#include <istream>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace phonesim {

constexpr std::size_t MAX_DATAGRAM = 65507;

struct RecordedDatagram {
    double time = 0.0; // seconds from the start
    std::vector<std::uint8_t> bytes;
};

struct Recording {
    std::optional<App> app; // when the file names it
    // The monotonic instant the arrival times count from, when a receiver wrote it.
    std::optional<double> arrivalOrigin;
    std::vector<RecordedDatagram> datagrams;
};

// A recording that does not follow the format; the text names the line.
class RecordingError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class RecordingWriter {
public:
    // Writes the header at once; with arrivalOrigin, the times written are arrival
    // times counted from that monotonic instant.
    RecordingWriter(std::ostream& out, App app, std::optional<double> arrivalOrigin = {});
    void write(double time, const std::vector<std::uint8_t>& bytes);
    void write(double time, const std::uint8_t* bytes, std::size_t size);

private:
    std::ostream& stream;
};

// Reads a whole recording. Throws RecordingError naming the first bad line.
Recording readRecording(std::istream& in);

const char* appName(App app);

} // namespace phonesim
