#pragma once

#include <cstddef>

// One unit of acquired data: a sensor sample or a video frame.

namespace conduit::interfaces {

class IDataBuffer {
public:
    // any thread; every buffer of this system holds exactly one sample or frame
    virtual std::size_t getCount() const = 0;
    // the last holder, once: the channel, a filter that replaces the buffer, or the host
    virtual void destroy() = 0;

protected:
    virtual ~IDataBuffer() = default;
};

} // namespace conduit::interfaces
