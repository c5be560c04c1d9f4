#pragma once

#include "../interfaces/message_info.h"

#include <string>

namespace conduit::kit::device {

// One message: its kind, identifier and English text, each copied.
class MessageInfo : public interfaces::IMessageInfo {
public:
    MessageInfo(const char* messageType, const char* messageId, const char* messageText)
        : type(messageType), id(messageId), text(messageText) {}

    const char* getType() const override { return type.c_str(); }
    const char* getID() const override { return id.c_str(); }
    const char* getText() const override { return text.c_str(); }
    void destroy() override { delete this; }

    std::string type;
    std::string id;
    std::string text;

protected:
    ~MessageInfo() override = default;
};

class ErrorInfo : public MessageInfo {
public:
    ErrorInfo(const char* messageId, const char* messageText)
        : MessageInfo("error", messageId, messageText) {}

protected:
    ~ErrorInfo() override = default;
};

class WarningInfo : public MessageInfo {
public:
    WarningInfo(const char* messageId, const char* messageText)
        : MessageInfo("warning", messageId, messageText) {}

protected:
    ~WarningInfo() override = default;
};

} // namespace conduit::kit::device
