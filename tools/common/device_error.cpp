#include "device_error.h"

#include <utility>

namespace kxtools {

DeviceError::DeviceError(const std::string& what, std::vector<korvex::host::Message> messages)
    : std::runtime_error(what), posted_(std::move(messages)) {}

const korvex::host::Message* DeviceError::firstError() const {
    for (const auto& message : posted_) {
        if (message.type == "error")
            return &message;
    }
    return nullptr;
}

std::string messageText(const korvex::host::Message& message) {
    if (message.id.empty() && message.text.empty())
        return "(no identifier and no text)";
    if (message.id.empty())
        return message.text;
    return message.id + ": " + message.text;
}

std::string errorsText(const std::vector<korvex::host::Message>& messages) {
    std::string text;
    for (const auto& message : messages) {
        if (message.type == "error")
            text += (text.empty() ? "" : "; ") + messageText(message);
    }
    return text;
}

} // namespace kxtools
