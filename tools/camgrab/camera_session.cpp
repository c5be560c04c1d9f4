#include "camera_session.h"

#include "host/i18n/ustring_conversion.h"

#include <utility>

namespace camgrab {

using korvex::host::scalarValue;

std::string messageText(const korvex::host::Message& message) {
    return message.id.empty() ? message.text : message.id + ": " + message.text;
}

CameraUnavailable::CameraUnavailable(const std::string& reason,
                                     std::vector<korvex::host::Message> posted)
    : std::runtime_error(reason), postedMessages(std::move(posted)) {}

namespace {

std::string publishedText(const korvex::host::PropertyListOwner& published, const char* name) {
    const auto value = scalarValue<std::string>(published.find(name));
    if (!value)
        throw std::runtime_error(std::string("framegrab published no ") + name);
    return *value;
}

} // namespace

CameraSession::CameraSession(const CameraRequest& request)
    : grabLibrary(korvex::host::pluginPath("framegrab")),
      sieveLibrary(korvex::host::pluginPath("pixsieve")), channel("camera") {
    // Two property updates come with every frame; only the latest of each matters.
    channel.setKeepLatestPropertyValuesOnly(true);
    device = grabLibrary.createDevice(channel);
    filter = sieveLibrary.createFilter(channel);

    korvex::host::Options deviceOptions;
    deviceOptions.set("WebcamID", korvex::i18n::widen(request.webcamID));
    if (!request.resolution.empty())
        deviceOptions.set("Resolution", korvex::i18n::widen(request.resolution));
    if (request.rate > 0)
        deviceOptions.set("RequestedFramerate", request.rate);
    device->init(deviceOptions, published.list());
    auto posted = newMessages();
    for (const auto& message : posted) {
        if (message.type != "error")
            continue;
        // framegrab publishes nothing when the camera lacks the mode asked for.
        const std::string camera = "camera '" + request.webcamID + "'";
        throw CameraUnavailable(published.size() == 0
                                    ? camera + " does not offer the mode asked for"
                                    : camera + " is not available",
                                std::move(posted));
    }
    resolutionText = publishedText(published, "Resolution");

    // The filter converts from the layout the device announces to the host's.
    korvex::host::Options filterOptions;
    for (const char* name : {"InputFrameType", "OutputFrameType"})
        filterOptions.set(name, korvex::i18n::widen(publishedText(published, name)));
    filter->init(filterOptions);
    filter->open(korvex::host::Options());
    filterOpen = true;
}

CameraSession::~CameraSession() {
    close();
    if (filterOpen)
        filter->close();
}

void CameraSession::open(std::function<bool(korvex::host::BufferPtr)> onFrame) {
    // Frames of the camera's short run inside init are not wanted.
    channel.takeAllBuffers();
    channel.setBufferHandler(std::move(onFrame));
    channel.setOpen(true);
    device->open(korvex::host::Options());
    opened = true;
}

void CameraSession::close() {
    if (!opened)
        return;
    opened = false;
    device->close();
    channel.setOpen(false);
}

PlanarFramePtr CameraSession::toPlanar(korvex::host::BufferPtr packed) {
    PlanarFramePtr planar(dynamic_cast<webcam::VideoDataBuffer*>(filter->filter(packed.release())));
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
    const auto all = channel.messages();
    std::vector<korvex::host::Message> fresh;
    for (; messagesSeen < all.size(); ++messagesSeen)
        fresh.push_back(all[messagesSeen]);
    return fresh;
}

} // namespace camgrab
