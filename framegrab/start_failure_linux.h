#pragma once

#include "controller_messages.h"

#include <glib.h>

namespace framegrab {

// The message for a pipeline that would not start, from the first error it posted
// (null when it posted none) and whether that error came from the camera source.
// A busy camera is "deviceUnavailable"; a camera that cannot be opened or is no
// camera is "deviceInaccessible"; anything else is "sessionCreationError".
const messages::Message& classifyStartFailure(const GError* error, const char* debug,
                                              bool fromSource);

} // namespace framegrab
