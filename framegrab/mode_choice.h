#pragma once

#include "framegrab/camera_mode.h"

#include <string>
#include <vector>

// Which of a camera's modes the capture device uses, from the options "Resolution"
// and "RequestedFramerate".

namespace framegrab {

// What the user asked for, as given; an empty text asks for nothing.
struct ModeRequest {
    std::string resolution; // "WxH", such as 1280x720
    std::string framerate;  // frames a second: "30", "29.97" or "30000/1001"
};

// The chosen mode (narrowed to the one rate it runs at), or the error that says why
// none fits and what the camera offers.
struct ModeChoice {
    CameraMode mode;
    std::string errorID; // empty when a mode was chosen
    std::string errorText;

    bool chosen() const { return errorID.empty(); }
};

// Chooses among the decodable modes of offered:
// - the size: the one asked for; else, with a rate asked for, the largest size
//   offered at that rate; else the largest size offered at 30 frames a second or
//   more; else the size of the fastest mode;
// - the rate: the one asked for; else the fastest offered at that size;
// - raw when a raw mode of that size offers that rate, else MJPEG.
ModeChoice chooseMode(const std::vector<CameraMode>& offered, const ModeRequest& request);

// "1280x720" as width and height; false for anything else (sizes from 1 to 65535).
bool parseResolution(const std::string& text, int& width, int& height);

// "30", "29.97" or "30000/1001" as frames a second; false for anything else and for
// rates that are not above 0 and at most 1000.
bool parseFramerate(const std::string& text, double& perSecond);

} // namespace framegrab
