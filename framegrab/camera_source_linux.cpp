#include "camera_source_linux.h"

#include <filesystem>
#include <system_error>

namespace framegrab {

namespace {

constexpr int TEST_WIDTH = 640;
constexpr int TEST_HEIGHT = 480;
constexpr int TEST_FRAMES_PER_SECOND = 30;

// videotestsrc ! capsfilter in a bin: a live camera with one raw mode, as a
// cheap webcam offers it.
GstElement* makeTestCamera() {
    GstElement* camera = gst_bin_new(nullptr);
    GstElement* pattern = gst_element_factory_make("videotestsrc", nullptr);
    GstElement* mode = gst_element_factory_make("capsfilter", nullptr);
    if (pattern == nullptr || mode == nullptr) {
        for (GstElement* element : {camera, pattern, mode})
            if (element != nullptr)
                gst_object_unref(gst_object_ref_sink(element));
        return nullptr;
    }
    g_object_set(pattern, "is-live", TRUE, nullptr);
    GstCaps* caps =
        gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "YUY2", "width", G_TYPE_INT,
                            TEST_WIDTH, "height", G_TYPE_INT, TEST_HEIGHT, "framerate",
                            GST_TYPE_FRACTION, TEST_FRAMES_PER_SECOND, 1, nullptr);
    g_object_set(mode, "caps", caps, nullptr);
    gst_caps_unref(caps);
    gst_bin_add_many(GST_BIN(camera), pattern, mode, nullptr);
    GstPad* output = gst_element_get_static_pad(mode, "src");
    const bool complete = gst_element_link(pattern, mode) != FALSE &&
                          gst_element_add_pad(camera, gst_ghost_pad_new("src", output)) != FALSE;
    gst_object_unref(output);
    if (!complete) {
        gst_object_unref(gst_object_ref_sink(camera));
        return nullptr;
    }
    return camera;
}

} // namespace

std::string resolveDevicePath(const std::string& path) {
    std::error_code error;
    const std::filesystem::path node = std::filesystem::canonical(path, error);
    return error ? path : node.string();
}

GstElement* makeCameraSource(const std::string& uniqueID) {
    if (uniqueID == TEST_CAMERA_ID)
        return makeTestCamera();
    // Anything else must be a device path; the source is never asked to guess, and
    // no pipeline text is ever parsed.
    if (uniqueID.empty() || uniqueID.front() != '/')
        return nullptr;
    GstElement* source = gst_element_factory_make("v4l2src", nullptr);
    if (source != nullptr)
        g_object_set(source, "device", resolveDevicePath(uniqueID).c_str(), nullptr);
    return source;
}

} // namespace framegrab
