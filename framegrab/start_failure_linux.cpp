#include "start_failure_linux.h"

#include <cerrno>
#include <cstring>
#include <gst/gst.h>

namespace framegrab {

const messages::Message& classifyStartFailure(const GError* error, const char* debug,
                                              bool fromSource) {
    if (error == nullptr || error->domain != GST_RESOURCE_ERROR)
        return messages::SESSION_CREATION_ERROR;
    if (error->code == GST_RESOURCE_ERROR_BUSY)
        return messages::DEVICE_UNAVAILABLE;
    // Some failures to open a camera that another program streams from only carry
    // the system's EBUSY text in their details.
    if (debug != nullptr && std::strstr(debug, g_strerror(EBUSY)) != nullptr)
        return messages::DEVICE_UNAVAILABLE;
    return fromSource ? messages::DEVICE_INACCESSIBLE : messages::SESSION_CREATION_ERROR;
}

} // namespace framegrab
