#pragma once

#include "data_buffer.h"
#include "property_list.h"

// Interface of a filter plug-in object: factory, init, open, filter*, close, term.

namespace conduit::interfaces::filter {

class IControl {
public:
    // host control thread; reads the filter options
    virtual void init(const device::PropertyList& options) = 0;
    // host control thread
    virtual void open(const device::PropertyList& options) = 0;
    // host data thread; takes ownership of buffer and returns the buffer to pass on
    // (the same one, a new one, or null)
    virtual IDataBuffer* filter(IDataBuffer* buffer) = 0;
    // host control thread
    virtual void close() = 0;
    // host control thread, once; deletes the object
    virtual void term() = 0;

protected:
    virtual ~IControl() = default;
};

} // namespace conduit::interfaces::filter
