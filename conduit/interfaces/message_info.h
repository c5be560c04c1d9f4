#pragma once

// One message for the user, built by a plug-in and released by the host.

namespace conduit::interfaces {

class IMessageInfo {
public:
    // "error" or "warning"
    virtual const char* getType() const = 0;
    // "KORVEX:<component>:<shortName>" (the UDP listener adds the operation as a third part)
    virtual const char* getID() const = 0;
    // English text for the user
    virtual const char* getText() const = 0;
    // the host, once; the only way to release the message
    virtual void destroy() = 0;

protected:
    virtual ~IMessageInfo() = default;
};

} // namespace conduit::interfaces
