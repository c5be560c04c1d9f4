#pragma once

#include "data_buffer.h"
#include "message_info.h"
#include "property_info.h"

#include <cstdint>

// The host's side of a channel, handed to each device and filter at creation.
// Implemented by the host; the plug-ins call it from any thread between init and
// the return of close, concurrently with the host's own calls.

namespace conduit::interfaces::channel {

class IInputStream {
public:
    // host only; number of buffers the channel holds and has not handed on yet
    virtual std::uint64_t getQueuedCount() const = 0;
    // device threads; ownership of the buffer passes at the call, whatever the result
    virtual bool write(IDataBuffer* buffer) = 0;

protected:
    virtual ~IInputStream() = default;
};

class IControl {
public:
    // device threads; ownership of the message passes to the host
    virtual void postMessage(IMessageInfo* message) = 0;
    // device threads; a new object with a published name and its new value; ownership passes
    virtual void postPropertyValue(IPropertyInfo* property) = 0;
    // host only; the channel's name
    virtual const char* getName() const = 0;
    // host only; whether the channel is between open and close
    virtual bool isOpen() const = 0;
    // device threads, for every buffer pushed; the devices keep no copy of the pointer
    virtual IInputStream* getInputStream() = 0;

protected:
    virtual ~IControl() = default;
};

} // namespace conduit::interfaces::channel
