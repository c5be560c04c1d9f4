// The exports of pixsieve: the filter factory and the version strings.

#include "conduit/exports.h"

#include "conduit/interfaces/channel.h"
#include "conduit/interfaces/filter.h"
#include "conduit/kit/boundary.h"
#include "filter.h"

KX_DEFINE_VERSION_EXPORTS(pixsieve);

// Creates a filter for the channel; false and null when there is no memory for it.
extern "C" KX_EXPORT bool createFilter(conduit::interfaces::channel::IControl& channel,
                                       conduit::interfaces::filter::IControl*& filter) {
    return conduit::kit::makeObject(filter, [&] { return new webcam::Filter(channel); });
}
