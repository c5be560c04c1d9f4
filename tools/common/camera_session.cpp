#include "camera_session.h"

#include "host/i18n/ustring_conversion.h"

#include <cstdio>
#include <stdexcept>
#include <utility>

namespace kxtools {

using korvex::host::scalarValue;

namespace {

std::string publishedText(const korvex::host::PropertyListOwner& published, const char* name) {
    const auto value = scalarValue<std::string>(published.find(name));
    if (!value)
        throw std::runtime_error(std::string("framegrab published no ") + name);
    return *value;
}

// "640x480" -> 640 and 480; false for anything else.
bool parseResolution(const std::string& text, std::size_t& width, std::size_t& height) {
    unsigned long w = 0;
    unsigned long h = 0;
    char end = 0;
    if (std::sscanf(text.c_str(), "%lux%lu%c", &w, &h, &end) != 2)
        return false;
    width = w;
    height = h;
    return true;
}

} // namespace

CameraSession::CameraSession(const CameraSettings& settings, FrameHandler frames,
                             PropertyHandler properties)
    : grabLibrary(korvex::host::pluginPath("framegrab", settings.pluginFolder)),
      sieveLibrary(korvex::host::pluginPath("pixsieve", settings.pluginFolder)),
      channel(grabLibrary.name()) {
    channel.setKeepLatestPropertyValuesOnly(true); // two updates per frame
    grabber = grabLibrary.createDevice(channel);
    filter = sieveLibrary.createFilter(channel);

    korvex::host::Options deviceOptions;
    deviceOptions.set("WebcamID", korvex::i18n::widen(settings.webcamID));
    if (!settings.resolution.empty())
        deviceOptions.set("Resolution", korvex::i18n::widen(settings.resolution));
    if (settings.frameRate)
        deviceOptions.set("RequestedFramerate", *settings.frameRate);
    grabber->init(deviceOptions, published.list());
    // The messages stay for newMessages: warnings of the probe are news too.
    if (const auto messages = channel.messages(); !errorsText(messages).empty()) {
        // framegrab publishes nothing when the camera lacks the mode asked for.
        throw DeviceError(
            "camera '" + settings.webcamID + "' " +
                (published.size() == 0 ? "does not offer the mode asked for" : "is not available"),
            messages);
    }
    resolutionText = publishedText(published, "Resolution");
    if (!parseResolution(resolutionText, frameWidth, frameHeight))
        throw std::runtime_error("framegrab announced the resolution '" + resolutionText + "'");

    // The filter converts from the layout the device announces to the host's.
    korvex::host::Options filterOptions;
    for (const char* name : {"InputFrameType", "OutputFrameType"})
        filterOptions.set(name, korvex::i18n::widen(publishedText(published, name)));
    filter->init(filterOptions);

    // Frames of the camera's short run inside init are not wanted.
    channel.takeAllBuffers();
    channel.setBufferHandler(std::move(frames));
    if (properties)
        channel.setPropertyHandler(std::move(properties));
}

CameraSession::~CameraSession() {
    try {
        close();
    } catch (...) {
        // Nothing more to do: both are terminated below all the same.
    }
    grabber.reset();
    filter.reset();
}

void CameraSession::open() {
    if (opened)
        return;
    const std::size_t before = channel.messages().size();
    filter->open(korvex::host::Options());
    channel.setOpen(true);
    grabber->open(korvex::host::Options());
    opened = true;
    const auto messages = channel.messagesFrom(before);
    const std::string errors = errorsText(messages);
    if (!errors.empty())
        throw DeviceError(grabLibrary.name() + " could not start the camera: " + errors, messages);
}

void CameraSession::close() {
    if (!opened)
        return;
    opened = false;
    grabber->close();
    channel.setOpen(false);
    filter->close();
}

FramePtr CameraSession::convert(korvex::host::BufferPtr packed) {
    FramePtr planar(dynamic_cast<webcam::VideoDataBuffer*>(filter->filter(packed.release())));
    if (planar == nullptr)
        throw std::runtime_error("pixsieve returned no frame");
    const std::size_t pixels = planar->height * planar->width;
    if (planar->bytesPerPixel != 3 || planar->size != pixels * 3 || planar->data == nullptr)
        throw std::runtime_error("pixsieve returned a frame of " + std::to_string(planar->size) +
                                 " bytes for " + std::to_string(planar->width) + "x" +
                                 std::to_string(planar->height) + " pixels");
    return planar;
}

std::vector<korvex::host::Message> CameraSession::newMessages() {
    auto fresh = channel.messagesFrom(messagesSeen);
    messagesSeen += fresh.size();
    return fresh;
}

} // namespace kxtools
