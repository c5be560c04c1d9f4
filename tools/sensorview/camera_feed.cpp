#include "camera_feed.h"

#include "tools/camgrab/png_frame.h"

#include <cstdio>
#include <exception>
#include <limits>

namespace sensorview {

namespace {

// One frame waits for the encoder; the camera keeps going.
constexpr std::size_t WAITING_FRAMES = 1;

} // namespace

CameraFeed::CameraFeed(const std::string& webcamID)
    : cameraId(webcamID), inbox(std::numeric_limits<std::uint64_t>::max(), WAITING_FRAMES),
      camera(kxtools::CameraSettings{webcamID, "", std::nullopt, ""},
             [this](korvex::host::BufferPtr frame) { return inbox.offer(std::move(frame)); }) {}

CameraFeed::~CameraFeed() { close(); }

void CameraFeed::start(Publish publish, std::function<bool()> watched) {
    camera.open();
    thread = std::thread([this, publish = std::move(publish), watched = std::move(watched)] {
        encodeFrames(publish, watched);
    });
}

void CameraFeed::close() {
    camera.close();
    stopping.store(true);
    if (thread.joinable())
        thread.join();
}

void CameraFeed::encodeFrames(const Publish& publish, const std::function<bool()>& watched) {
    while (!stopping.load()) {
        korvex::host::BufferPtr frame = inbox.take(std::chrono::milliseconds(100));
        if (frame == nullptr || !watched())
            continue;
        try {
            const auto planar = camera.convert(std::move(frame));
            const auto rows =
                camgrab::planarColumnToRgbRows(planar->data, planar->height, planar->width);
            OutMessage out;
            out.kind = MessageKind::Frame;
            out.data = std::make_shared<const std::string>(
                encoder.encode(rows.data(), planar->height, planar->width));
            publish(std::move(out));
            sentCount.fetch_add(1);
        } catch (const std::exception& error) {
            // A frame that cannot be shown is skipped; the next one may be fine.
            std::fprintf(stderr, "sensorview: a camera frame was not shown: %s\n", error.what());
        }
    }
}

} // namespace sensorview
