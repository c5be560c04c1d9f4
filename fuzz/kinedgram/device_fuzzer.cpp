// The text-datagram device's data callback on the stand-in channel, fed a run of
// datagrams, with writes that the channel accepts, refuses or fails as the input
// says. Every datagram is checked against a model built from the parser and the
// fix selection: the result, the buffers written (kinds, app and values, in order),
// the stop after a refused write, and the fix-selection state afterwards.
//
// Input: records of [control][length][length bytes]. Control bits 0-1 and 2-3 give
// the channel's answer to the first and second write (1 refuse, 2 throw, else
// accept); length is capped at 200, the listener's buffer.

#include "host/channel.h"
#include "kinedgram/device.h"
#include "kinedgram/fix_selection.h"
#include "kinedgram/text_datagram.h"
#include "mobilesensor/device/testing/sample_view.h"
#include "mobilesensor/sample_buffers.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

using mobilesensor::testing::Sample;
using mobilesensor::testing::ScriptedWrites;

constexpr std::int32_t APP = mobilesensor::MobileSensorDataBuffer::KINEDGRAM_APP;

ScriptedWrites::Verdict verdict(unsigned bits) {
    switch (bits & 3u) {
    case 1:
        return ScriptedWrites::REFUSE;
    case 2:
        return ScriptedWrites::THROW;
    default:
        return ScriptedWrites::ACCEPT;
    }
}

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// What the device must do with one datagram: the buffers it tries to write, in
// order, stopping at the first the channel does not accept, and its result.
struct Expectation {
    std::vector<Sample> writes;
    bool result = false;
};

class Model {
public:
    Expectation expect(const std::vector<std::uint8_t>& datagram,
                       const std::vector<ScriptedWrites::Verdict>& verdicts) {
        Expectation e;
        std::vector<std::uint8_t> copy = datagram;
        kinedgram::TextReading reading;
        if (copy.empty() ||
            !kinedgram::parseTextDatagram(copy.data(), copy.size(), fields, reading))
            return e;
        const double* v = reading.values;
        std::vector<Sample> planned;
        switch (reading.kind) {
        case 'A':
            planned = {{'A', APP, {v[0], v[1], v[2]}}};
            break;
        case 'M':
            planned = {{'M', APP, {v[0] / 1000000.0, v[1] / 1000000.0, v[2] / 1000000.0}}};
            break;
        case 'O':
            planned = {{'O', APP, {v[0], v[1], v[2]}}};
            break;
        default: {
            const std::int32_t source =
                reading.kind == 'G' ? kinedgram::FIX_SOURCE_G : kinedgram::FIX_SOURCE_N;
            // fields 3..8: altitude, latitude, longitude, time, accuracy, speed
            if (!kinedgram::acceptFix(state, source, v[3], v[4], v[5]))
                break; // passed over: nothing written, and true
            const Sample horizontal{'H', APP, {v[1], v[2], v[4], 0.0, v[5]}};
            const Sample vertical{'V', APP, {v[0], 0.0}};
            const bool usable = v[4] >= 0.0;
            if (usable)
                planned = {horizontal, vertical};
            else if (reading.kind == 'N')
                planned = {vertical};
        }
        }
        e.result = true;
        for (std::size_t i = 0; i < planned.size(); ++i) {
            e.writes.push_back(planned[i]);
            if (verdicts[i] != ScriptedWrites::ACCEPT) {
                e.result = false;
                break;
            }
        }
        return e;
    }

    kinedgram::FixState state;

private:
    kinedgram::TextFields fields;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    korvex::host::Channel channel;
    ScriptedWrites writes(channel);
    std::unique_ptr<kinedgram::Device, conduit::kit::Releaser> device{
        new kinedgram::Device(channel)};
    Model model;

    std::size_t at = 0;
    while (at + 2 <= size) {
        const unsigned control = data[at];
        const std::size_t length =
            std::min<std::size_t>({data[at + 1], kinedgram::Device::RECEIVE_SIZE, size - at - 2});
        const std::vector<std::uint8_t> datagram(data + at + 2, data + at + 2 + length);
        at += 2 + length;

        const std::vector<ScriptedWrites::Verdict> verdicts = {verdict(control),
                                                               verdict(control >> 2)};
        const Expectation expected = model.expect(datagram, verdicts);

        // An array of exactly the datagram's size, so that any read past it is caught.
        boost::shared_array<std::uint8_t> bytes(new std::uint8_t[datagram.size()]);
        std::copy(datagram.begin(), datagram.end(), bytes.get());
        writes.written.clear();
        writes.kept.clear();
        writes.play(verdicts);
        const bool result = device->onDatagram(bytes, datagram.size());

        if (result != expected.result || writes.written.size() != expected.writes.size())
            std::abort();
        for (std::size_t i = 0; i < expected.writes.size(); ++i) {
            if (!mobilesensor::testing::sameSample(expected.writes[i], writes.written[i]))
                std::abort();
        }
        const kinedgram::FixState& state = device->getParser().getFixState();
        if (state.lastFixSource != model.state.lastFixSource ||
            !sameBits(state.lastFixAccuracy, model.state.lastFixAccuracy) ||
            !sameBits(state.lastFixTime, model.state.lastFixTime))
            std::abort();
    }
    // Without an open, the address is reported for the first datagram only.
    if (channel.properties("IPAddress").size() != (at > 0 ? 1u : 0u) || !channel.messages().empty())
        std::abort();
    return 0;
}
