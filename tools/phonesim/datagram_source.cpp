#include "datagram_source.h"

#include "datagram_encoder.h"

#include <stdexcept>
#include <utility>

namespace phonesim {

bool ScenarioSource::next(OutgoingDatagram& datagram) {
    const Reading reading = scenario.next();
    datagram.time = reading.time;
    datagram.bytes = encodeDatagram(reading);
    return true;
}

ReplaySource::ReplaySource(Recording recording, std::optional<double> datagramsPerSecond,
                           double speed)
    : played(std::move(recording)), rate(datagramsPerSecond), speedFactor(speed) {
    if (rate && !(*rate > 0.0))
        throw std::invalid_argument("the replay rate must be above 0");
    if (!(speedFactor > 0.0))
        throw std::invalid_argument("the replay speed must be above 0");
}

bool ReplaySource::next(OutgoingDatagram& datagram) {
    if (position == played.datagrams.size())
        return false;
    RecordedDatagram& recorded = played.datagrams[position];
    if (rate)
        datagram.time = static_cast<double>(position) / *rate;
    else
        datagram.time = (recorded.time - played.datagrams.front().time) / speedFactor;
    datagram.bytes = std::move(recorded.bytes);
    ++position;
    return true;
}

} // namespace phonesim
