#pragma once

// The whole kit: property and message classes, option lookup, channel calls, the
// catch ladder of every entry point.
#include "boundary.h"
#include "channel_calls.h"
#include "message_info.h"
#include "option_lookup.h"
#include "release.h"
#include "scalar_property.h"
#include "ustring.h"
#include "vector_property.h"
