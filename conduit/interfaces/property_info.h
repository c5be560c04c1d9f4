#pragma once

// One named property value that crosses the plug-in boundary. The value itself is
// reached through the concrete kit class, found by a checked run-time cast.

namespace conduit::interfaces {

class IPropertyInfo {
public:
    // any thread; valid while the object lives
    virtual const char* getName() const = 0;
    // the holder, once; the only way to release the object
    virtual void destroy() = 0;

protected:
    virtual ~IPropertyInfo() = default;
};

} // namespace conduit::interfaces
