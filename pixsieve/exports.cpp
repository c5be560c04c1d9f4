// The exports of pixsieve: the filter factory and the version strings.

#include "conduit/exports.h"

#include "conduit/interfaces/channel.h"
#include "conduit/interfaces/filter.h"
#include "filter.h"

#include <new>

KX_DEFINE_VERSION_EXPORTS(pixsieve);

// Creates a filter for the channel. Out of memory gives false and null rather than
// an exception, which must not cross into the host.
extern "C" KX_EXPORT bool createFilter(conduit::interfaces::channel::IControl& channel,
                                       conduit::interfaces::filter::IControl*& filter) {
    filter = new (std::nothrow) webcam::Filter(channel);
    return filter != nullptr;
}
