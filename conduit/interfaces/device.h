#pragma once

#include "property_list.h"

#include <cstdint>

// Interfaces of a device plug-in object. The host calls every operation on its
// control thread, in the order: factory, init, (open, close)*, term.

namespace conduit::interfaces::device {

class IDataSource;
class IDataSink;

class IControl {
public:
    // host control thread; reads options, appends one new property per offered property
    virtual void init(const PropertyList& options, PropertyList& published) = 0;
    // host control thread; the same object seen through its data-source base
    virtual IDataSource* getDataSource() const = 0;
    // host control thread; null for every device of this system
    virtual IDataSink* getDataSink() const = 0;
    // host control thread; starts acquisition
    virtual void open(const PropertyList& options) = 0;
    // host control thread; device-specific command
    virtual void execute(const char* command, const PropertyList& arguments) = 0;
    // host control thread; stops acquisition: no data is pushed after it returns
    virtual void close() = 0;
    // host control thread, once; deletes the object and everything it owns
    virtual void term() = 0;

protected:
    virtual ~IControl() = default;
};

class IDataSource {
public:
    // host; whether the source has delivered everything
    virtual bool isSourceDone() const = 0;
    // host; polling hint
    virtual std::int32_t getSourcePolling() const = 0;

protected:
    virtual ~IDataSource() = default;
};

// A device that consumes data would offer this; no device of this system does.
class IDataSink {
protected:
    virtual ~IDataSink() = default;
};

} // namespace conduit::interfaces::device
