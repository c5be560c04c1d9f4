#pragma once

// The command line of camgrab.

#include "tools/common/camera_session.h"
#include "tools/common/option_parser.h"

#include <cstdint>
#include <string>

namespace camgrab {

struct Settings {
    std::string webcamID = kxtools::TEST_CAMERA;
    std::string resolution; // "WxH"; empty: framegrab's choice
    double rate = 0;        // frames a second; 0: framegrab's choice
    std::uint64_t frames = 5;
    std::string folder = "."; // where the PNG files go; made when missing
    std::string prefix = "frame";
    double timeout = 10.0; // seconds to wait for the frames
};

kxtools::OptionParser makeOptionParser(Settings& settings);

// "<folder>/<prefix>-0001.png": numbered from 1, at least four digits.
std::string frameFileName(const Settings& settings, std::uint64_t number);

} // namespace camgrab
