#pragma once

#include "conduit/interfaces/data_buffer.h"
#include "host/channel.h"

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

// Tests and fuzz targets of the sensor devices look at the buffers a device wrote
// through these: the kind of each buffer as one letter and its values in order.

namespace mobilesensor::testing {

struct Sample {
    // A accelerometer, G gyroscope, O orientation, T heading, M magnetometer,
    // H horizontal location, V vertical location, L location; ? not a sample buffer.
    char kind = '?';
    std::int32_t app = -1;
    std::vector<double> values;
};

// Equal kinds, apps and values, bit for bit (so NaN equals NaN of the same sign).
bool sameSample(const Sample& a, const Sample& b);
std::ostream& operator<<(std::ostream& out, const Sample& sample);

Sample describe(const conduit::interfaces::IDataBuffer& buffer);
std::vector<Sample> describe(const std::vector<korvex::host::BufferPtr>& buffers);
// The letters of the samples, in order.
std::string kinds(const std::vector<Sample>& samples);
std::string kinds(const std::vector<korvex::host::BufferPtr>& buffers);

// Answers each write into a channel from a script (accept when the script has run
// out) and records every buffer written. Installed as the channel's buffer handler:
// declare it after the channel and before the device that writes.
class ScriptedWrites {
public:
    enum Verdict { ACCEPT, REFUSE, THROW };

    explicit ScriptedWrites(korvex::host::Channel& channel);

    // A new script; the count of writes starts again from 0.
    void play(std::vector<Verdict> verdicts);
    std::size_t writes() const { return next; }

    std::vector<Sample> written;               // every buffer written, accepted or not
    std::vector<korvex::host::BufferPtr> kept; // the accepted buffers

private:
    bool answer(korvex::host::BufferPtr buffer);

    std::vector<Verdict> script;
    std::size_t next = 0;
};

} // namespace mobilesensor::testing
