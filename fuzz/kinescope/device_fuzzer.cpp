// The binary-record device's data callback on the stand-in channel, fed a run of
// datagrams, with writes that the channel accepts, refuses or fails as the input
// says. Every datagram is checked against a model of the record format: the
// result, the buffers written (kinds, app and values, in order) and the stop after
// a refused write.
//
// Input: records of [control][length][length bytes]. Control bits 0-1 and 2-3 give
// the channel's answer to the first and second write (1 refuse, 2 throw, else
// accept); length is capped at 72, the listener's buffer.

#include "host/channel.h"
#include "kinescope/device.h"
#include "mobilesensor/device/testing/sample_view.h"
#include "mobilesensor/sample_buffers.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "the model reads the records' little-endian doubles with memcpy");

namespace {

using mobilesensor::testing::Sample;
using mobilesensor::testing::ScriptedWrites;

constexpr std::int32_t APP = mobilesensor::MobileSensorDataBuffer::KINESCOPE_APP;

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

struct Expectation {
    std::vector<Sample> writes;
    bool result = false;
};

// The i-th payload double (from byte 16), read the plain way on this host.
double payload(const std::vector<std::uint8_t>& record, std::size_t i) {
    double value;
    std::memcpy(&value, record.data() + 16 + 8 * i, sizeof value);
    return value;
}

Expectation expect(const std::vector<std::uint8_t>& r,
                   const std::vector<ScriptedWrites::Verdict>& verdicts) {
    Expectation e;
    if (r.size() < 8)
        return e;
    std::vector<Sample> planned;
    switch (r[7]) {
    case 0x10:
        if (r.size() != 64)
            return e;
        // An invalid heading (accuracy not >= 0) leaves the field alone.
        if (payload(r, 2) >= 0.0)
            planned.push_back({'T', APP, {payload(r, 0), payload(r, 1), payload(r, 2)}});
        planned.push_back(
            {'M',
             APP,
             {payload(r, 3) / 1000000.0, payload(r, 4) / 1000000.0, payload(r, 5) / 1000000.0}});
        break;
    case 0x20:
        if (r.size() != 40)
            return e;
        planned = {{'A', APP, {payload(r, 0) * 9.81, payload(r, 1) * 9.81, payload(r, 2) * 9.81}}};
        break;
    case 0x30:
        if (r.size() != 40)
            return e;
        planned = {{'G', APP, {payload(r, 0), payload(r, 1), payload(r, 2)}}};
        break;
    case 0x40:
        if (r.size() != 72)
            return e;
        if (payload(r, 3) >= 0.0 && payload(r, 4) >= 0.0)
            planned = {
                {'H',
                 APP,
                 {payload(r, 0), payload(r, 1), payload(r, 3), payload(r, 5), payload(r, 6)}},
                {'V', APP, {payload(r, 2), payload(r, 4)}}};
        break;
    default:
        return e;
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    korvex::host::Channel channel;
    ScriptedWrites writes(channel);
    std::unique_ptr<kinescope::Device, conduit::kit::Releaser> device{
        new kinescope::Device(channel)};

    std::size_t at = 0;
    while (at + 2 <= size) {
        const unsigned control = data[at];
        const std::size_t length =
            std::min<std::size_t>({data[at + 1], kinescope::Device::RECEIVE_SIZE, size - at - 2});
        const std::vector<std::uint8_t> datagram(data + at + 2, data + at + 2 + length);
        at += 2 + length;

        const std::vector<ScriptedWrites::Verdict> verdicts = {verdict(control),
                                                               verdict(control >> 2)};
        const Expectation expected = expect(datagram, verdicts);

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
    }
    // Without an open, the address is reported for the first datagram only.
    if (channel.properties("IPAddress").size() != (at > 0 ? 1u : 0u) || !channel.messages().empty())
        std::abort();
    return 0;
}
