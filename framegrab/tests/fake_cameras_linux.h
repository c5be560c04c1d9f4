#pragma once

#include "framegrab/camera_source_linux.h"

#include <atomic>
#include <gst/gst.h>
#include <gtest/gtest.h>
#include <string>

// Cameras made of GStreamer's own test sources, shaped like real ones: each is a
// bin with one "src" pad whose caps offer the camera's modes, so that the
// controller reads them, chooses one and runs its real pipeline on it. Only tests
// describe sources as pipeline text; the plug-in never parses any.

namespace framegrab::testing {

// A camera that offers MJPEG only, at the sizes and rates of offers (caps text).
inline std::string mjpegCamera(const std::string& offers) {
    return "videotestsrc is-live=true ! jpegenc quality=60 ! capsfilter caps=\"" + offers + "\"";
}

// A camera that offers raw frames only.
inline std::string rawCamera(const std::string& offers) {
    return "videotestsrc is-live=true ! capsfilter caps=\"" + offers + "\"";
}

// A camera that fails after `frames` frames, as the source of an unplugged camera
// does: an error from inside the camera, and no frame after it.
inline std::string cameraFailingAfter(int frames, const std::string& offers) {
    return rawCamera(offers) + " ! identity error-after=" + std::to_string(frames + 1);
}

// A camera whose stream ends after `frames` frames.
inline std::string cameraEndingAfter(int frames, const std::string& offers) {
    return "videotestsrc is-live=true num-buffers=" + std::to_string(frames) +
           " ! capsfilter caps=\"" + offers + "\"";
}

// Makes the sources of one fake camera, whatever the identifier, and counts them.
// The host thread (the test) changes the description between opens, as a person
// unplugs and plugs a camera.
class FakeCamera {
public:
    explicit FakeCamera(std::string cameraDescription)
        : description(std::move(cameraDescription)) {}

    SourceFactory factory() {
        return [this](const std::string&) { return make(); };
    }

    GstElement* make() {
        gst_init(nullptr, nullptr);
        GError* error = nullptr;
        GstElement* camera = gst_parse_bin_from_description(description.c_str(), TRUE, &error);
        EXPECT_EQ(nullptr, error) << description << ": " << (error ? error->message : "");
        if (error != nullptr)
            g_error_free(error);
        if (camera == nullptr)
            return nullptr;
        ++made;
        ++alive;
        g_object_weak_ref(G_OBJECT(camera), &FakeCamera::onFinalized, this);
        return camera;
    }

    // Sources made, and those not yet released (by their pipeline, or by the mode
    // query); no camera is held while this is 0.
    int sourcesMade() const { return made; }
    int sourcesAlive() const { return alive; }

    std::string description;

private:
    static void onFinalized(gpointer data, GObject*) { --static_cast<FakeCamera*>(data)->alive; }

    std::atomic<int> made{0};
    std::atomic<int> alive{0};
};

} // namespace framegrab::testing
