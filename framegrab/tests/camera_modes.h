#pragma once

#include "framegrab/camera_mode.h"

#include <ostream>
#include <string>
#include <vector>

// Modes as a test writes them, and the modes of a typical USB camera: MJPEG at 30
// frames a second up to 1920x1080, raw YUY2 that is slow at the large sizes, and
// H.264 that the device does not decode.

namespace framegrab::testing {

inline CameraMode mode(Encoding encoding, const char* format, int width, int height,
                       FrameRate slowest, FrameRate fastest) {
    CameraMode made;
    made.encoding = encoding;
    made.format = format;
    made.width = width;
    made.height = height;
    made.slowest = slowest;
    made.fastest = fastest;
    return made;
}

inline CameraMode raw(int width, int height, FrameRate rate, const char* format = "YUY2") {
    return mode(Encoding::Raw, format, width, height, rate, rate);
}

inline CameraMode mjpeg(int width, int height, FrameRate rate) {
    return mode(Encoding::Mjpeg, "MJPEG", width, height, rate, rate);
}

inline std::vector<CameraMode> eachRate(CameraMode shape, std::vector<FrameRate> rates) {
    std::vector<CameraMode> modes;
    for (const FrameRate& rate : rates) {
        shape.slowest = shape.fastest = rate;
        modes.push_back(shape);
    }
    return modes;
}

inline std::vector<CameraMode> joined(std::vector<std::vector<CameraMode>> groups) {
    std::vector<CameraMode> all;
    for (const auto& group : groups)
        all.insert(all.end(), group.begin(), group.end());
    return all;
}

// The caps a typical USB camera's v4l2src states once open.
inline const char* const USB_CAMERA_CAPS =
    "image/jpeg, width=(int)1920, height=(int)1080, pixel-aspect-ratio=(fraction)1/1, "
    "framerate=(fraction){ 30/1, 24/1, 20/1, 15/1, 10/1, 15/2, 5/1 }; "
    "image/jpeg, width=(int)1280, height=(int)720, pixel-aspect-ratio=(fraction)1/1, "
    "framerate=(fraction){ 30/1, 24/1, 20/1, 15/1, 10/1, 15/2, 5/1 }; "
    "image/jpeg, width=(int)640, height=(int)480, pixel-aspect-ratio=(fraction)1/1, "
    "framerate=(fraction){ 30/1, 15/1 }; "
    "video/x-raw, format=(string)YUY2, width=(int)1920, height=(int)1080, "
    "pixel-aspect-ratio=(fraction)1/1, framerate=(fraction){ 5/1 }, "
    "colorimetry=(string)2:4:5:1, interlace-mode=(string)progressive; "
    "video/x-raw, format=(string)YUY2, width=(int)1280, height=(int)720, "
    "pixel-aspect-ratio=(fraction)1/1, framerate=(fraction){ 10/1, 15/2, 5/1 }; "
    "video/x-raw, format=(string)YUY2, width=(int)640, height=(int)480, "
    "pixel-aspect-ratio=(fraction)1/1, framerate=(fraction){ 30/1, 15/1 }; "
    "video/x-h264, stream-format=(string)byte-stream, alignment=(string)au, width=(int)3840, "
    "height=(int)2160, framerate=(fraction)30/1";

// The same camera as modes, in the order of its caps.
inline std::vector<CameraMode> usbCameraModes() {
    const std::vector<FrameRate> all = {{30, 1}, {24, 1}, {20, 1}, {15, 1},
                                        {10, 1}, {15, 2}, {5, 1}};
    return joined({eachRate(mjpeg(1920, 1080, {}), all),
                   eachRate(mjpeg(1280, 720, {}), all),
                   eachRate(mjpeg(640, 480, {}), {{30, 1}, {15, 1}}),
                   eachRate(raw(1920, 1080, {}), {{5, 1}}),
                   eachRate(raw(1280, 720, {}), {{10, 1}, {15, 2}, {5, 1}}),
                   eachRate(raw(640, 480, {}), {{30, 1}, {15, 1}}),
                   {mode(Encoding::Other, "H264", 3840, 2160, {30, 1}, {30, 1})}});
}

} // namespace framegrab::testing

namespace framegrab {

// How GoogleTest shows a mode: "MJPEG 1920x1080 at 30".
inline void PrintTo(const CameraMode& shown, std::ostream* out) {
    *out << shown.format << " " << shown.width << "x" << shown.height << " at " << rateText(shown)
         << " (" << shown.fastest.numerator << "/" << shown.fastest.denominator << ")";
}

} // namespace framegrab
