#pragma once

#include "../interfaces/channel.h"
#include "message_info.h"
#include "release.h"

#include <string>
#include <utility>

// The calls a device makes into its channel, with the failure rules of the contract:
// nothing thrown out of a device thread, and every object released exactly once.

namespace conduit::kit::device {

// Builds a message of kind Message (ErrorInfo or WarningInfo) and posts it. When the
// message cannot be built nothing is posted; when posting throws, the message already
// belongs to the host.
template <class Message>
void postMessage(interfaces::channel::IControl& channel, const std::string& id,
                 const std::string& text) noexcept {
    try {
        channel.postMessage(new Message(id.c_str(), text.c_str()));
    } catch (...) {
    }
}

// Posts a new property value; when the object cannot be built nothing is posted.
template <class Property, class... Arguments>
void postPropertyValue(interfaces::channel::IControl& channel, Arguments&&... arguments) noexcept {
    try {
        channel.postPropertyValue(new Property(std::forward<Arguments>(arguments)...));
    } catch (...) {
    }
}

// Hands one buffer to the channel and answers whether the channel accepted it.
// Ownership passes at write() whatever happens there; a buffer that never reached
// write() (no input stream, or getInputStream threw) is released here.
inline bool pushBuffer(interfaces::channel::IControl& channel,
                       interfaces::IDataBuffer* buffer) noexcept {
    interfaces::channel::IInputStream* stream = nullptr;
    try {
        stream = channel.getInputStream();
    } catch (...) {
    }
    if (stream == nullptr) {
        release(buffer);
        return false;
    }
    try {
        return stream->write(buffer);
    } catch (...) {
        return false;
    }
}

} // namespace conduit::kit::device
