#pragma once

#include "conduit/kit/release.h"
#include "mobilesensor/sample_buffers.h"

#include <array>
#include <cassert>
#include <cstddef>
#include <memory>

namespace mobilesensor {

// What a sensor device's parser makes of one datagram, before anything reaches the
// channel: whether the datagram is a reading of its app at all, and the buffers the
// reading yields, in the order they are handed over. A reading may yield none (a
// location fix that is passed over). Buffers not handed over are released with it.
class ParsedDatagram {
public:
    // No datagram of either app yields more.
    static constexpr std::size_t MAX_BUFFERS = 2;

    // Not a reading: of an unknown kind, of the wrong length, or malformed.
    static ParsedDatagram rejected() { return ParsedDatagram(false); }
    // A reading, whose buffers follow through add.
    static ParsedDatagram reading() { return ParsedDatagram(true); }

    // Takes over a buffer made with new; it goes to the channel after those added
    // before it.
    void add(MobileSensorDataBuffer* buffer) noexcept {
        assert(count < MAX_BUFFERS);
        buffers[count++].reset(buffer);
    }

    bool isReading() const { return reading_; }
    std::size_t size() const { return count; }
    const MobileSensorDataBuffer& operator[](std::size_t index) const { return *buffers[index]; }
    // Gives up the buffer at index, to be handed to the channel.
    MobileSensorDataBuffer* release(std::size_t index) { return buffers[index].release(); }

private:
    explicit ParsedDatagram(bool isReadingOfTheApp) : reading_(isReadingOfTheApp) {}

    bool reading_;
    std::size_t count = 0;
    std::array<std::unique_ptr<MobileSensorDataBuffer, conduit::kit::Releaser>, MAX_BUFFERS>
        buffers;
};

} // namespace mobilesensor
