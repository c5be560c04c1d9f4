#pragma once

#include <string>
#include <vector>

// The ways a camera can deliver frames, as its driver states them, and their text
// forms. Shared by the capture device (which chooses one) and the camera listing
// of the tools (which shows them all).

namespace framegrab {

// Frames a second as the camera states them: 30/1, 30000/1001, 15/2. 0/1 when the
// camera states no rate.
struct FrameRate {
    int numerator = 0;
    int denominator = 1;

    double perSecond() const;
};

bool operator==(const FrameRate& left, const FrameRate& right);

// How a mode's frames are encoded.
enum class Encoding {
    Raw,   // pixels, converted to BGRA as they are
    Mjpeg, // one JPEG image per frame, decoded first
    Other  // an encoding the capture device does not decode (H.264, ...); listed only
};

// One way of delivering frames: an encoding at one size, at one rate or at any rate
// of a range.
struct CameraMode {
    Encoding encoding = Encoding::Other;
    // "MJPEG", the raw pixel format as GStreamer names it ("YUY2", "NV12"), or the
    // name of another encoding ("H264").
    std::string format;
    int width = 0;
    int height = 0;
    FrameRate slowest;
    FrameRate fastest; // equal to slowest for a single rate

    bool decodable() const { return encoding != Encoding::Other; }
    // Whether the mode delivers rate, within the rounding of stated rates (29.97 is
    // 30, 30.0003 is 30).
    bool offers(double rate) const;
};

bool operator==(const CameraMode& left, const CameraMode& right);

// Whether two rates are the same rate as cameras state them: within 1%.
bool sameRate(double left, double right);

// "30", "29.97", "7.5": at most two decimals, no trailing zeros.
std::string rateText(double perSecond);
// "30", or "5 to 30" for a range.
std::string rateText(const CameraMode& mode);

// "a", "a and b", "a, b and c".
std::string joinedList(const std::vector<std::string>& items);

// The distinct sizes of the decodable modes as "WxH", largest (most pixels, then
// widest) first.
std::vector<std::string> resolutionList(const std::vector<CameraMode>& modes);
// The same with the size of first moved to the front.
std::vector<std::string> resolutionList(const std::vector<CameraMode>& modes,
                                        const CameraMode& first);

} // namespace framegrab
