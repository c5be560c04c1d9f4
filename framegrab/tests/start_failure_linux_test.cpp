#include "framegrab/start_failure_linux.h"

#include <cerrno>
#include <gst/gst.h>
#include <gtest/gtest.h>
#include <string>

namespace {

using framegrab::classifyStartFailure;
namespace messages = framegrab::messages;

struct ErrorCase {
    const char* what;
    GQuark domain;
    gint code;
    std::string debug;
    bool fromSource;
    const messages::Message* expected;
};

TEST(StartFailure, MapsPipelineErrorsToTheControllerMessages) {
    ASSERT_TRUE(gst_init_check(nullptr, nullptr, nullptr));
    const std::string busyText = std::string("VIDIOC_REQBUFS failed: ") + g_strerror(EBUSY);
    const ErrorCase cases[] = {
        {"busy camera", GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_BUSY, "", true,
         &messages::DEVICE_UNAVAILABLE},
        {"camera opened elsewhere", GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_OPEN_READ_WRITE,
         busyText, true, &messages::DEVICE_UNAVAILABLE},
        {"no such device", GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_NOT_FOUND,
         "system error: No such file or directory", true, &messages::DEVICE_INACCESSIBLE},
        {"no permission", GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_OPEN_READ_WRITE,
         "system error: Permission denied", true, &messages::DEVICE_INACCESSIBLE},
        {"not a camera", GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_SETTINGS,
         "system error: Inappropriate ioctl for device", true, &messages::DEVICE_INACCESSIBLE},
        {"resource error elsewhere", GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_FAILED, "", false,
         &messages::SESSION_CREATION_ERROR},
        {"formats do not match", GST_STREAM_ERROR, GST_STREAM_ERROR_FORMAT, "", true,
         &messages::SESSION_CREATION_ERROR},
        {"missing plug-in", GST_CORE_ERROR, GST_CORE_ERROR_MISSING_PLUGIN, "", false,
         &messages::SESSION_CREATION_ERROR},
    };
    for (const ErrorCase& c : cases) {
        SCOPED_TRACE(c.what);
        GError* error = g_error_new_literal(c.domain, c.code, "failure");
        const messages::Message& message =
            classifyStartFailure(error, c.debug.c_str(), c.fromSource);
        EXPECT_STREQ(c.expected->identifier, message.identifier);
        EXPECT_STREQ(c.expected->text, message.text);
        g_error_free(error);
    }
}

TEST(StartFailure, NoErrorAtAllIsASessionCreationError) {
    // The pipeline neither started nor said why (for example it timed out).
    const messages::Message& message = classifyStartFailure(nullptr, nullptr, false);
    EXPECT_STREQ("KORVEX:webcam:sessionCreationError", message.identifier);
    EXPECT_STREQ("Unable to create an acquisition session.", message.text);
}

} // namespace
