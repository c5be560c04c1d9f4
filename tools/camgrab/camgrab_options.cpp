#include "camgrab_options.h"

#include "tools/common/number_parsing.h"

#include <cstdio>

namespace camgrab {

namespace {

// Digits, "x", digits; framegrab itself says whether the camera offers the size.
bool isResolution(const std::string& text) {
    const std::size_t cross = text.find('x');
    auto digits = [](const std::string& part) {
        return !part.empty() && part.size() <= 5 && part.front() != '0' &&
               part.find_first_not_of("0123456789") == std::string::npos;
    };
    return cross != std::string::npos && digits(text.substr(0, cross)) &&
           digits(text.substr(cross + 1));
}

} // namespace

kxtools::OptionParser makeOptionParser(Settings& s) {
    kxtools::OptionParser parser(
        "camgrab", "[OPTIONS]",
        "Grabs frames from a camera through the capture device plug-in framegrab, converts\n"
        "each with the frame filter pixsieve into the host's planar RGB layout, and writes\n"
        "them as PNG files. Prints the resolution and the frame rate measured while\n"
        "grabbing, and each frame's arrival in seconds on the monotonic clock that\n"
        "sensorstream's readings carry, which the file holds too (the PNG text\n"
        "\"Monotonic\"). Without --webcam it uses framegrab's generated test camera.");
    parser
        .option("webcam", "ID",
                "the camera: a Video4Linux device such as /dev/video0, or its stable\n"
                "link under /dev/v4l/by-id/ (camlist shows them), or videotestsrc for\n"
                "the generated test camera (the default)",
                [&s](const std::string& value) {
                    if (value.empty())
                        throw kxtools::UsageError("--webcam: the camera is empty");
                    s.webcamID = value;
                })
        .option("resolution", "WxH",
                "the frame size, one the camera offers (camlist shows them), such as\n"
                "1280x720 (default: the largest the camera delivers at 30 frames a\n"
                "second)",
                [&s](const std::string& value) {
                    if (!isResolution(value))
                        throw kxtools::UsageError("--resolution: '" + value +
                                                  "' is not of the form WxH, such as 1280x720");
                    s.resolution = value;
                })
        .option("rate", "N",
                "frames a second, a rate the camera offers at that size, such as 30 or\n"
                "7.5 (default: the fastest there)",
                [&s](const std::string& value) {
                    s.rate = kxtools::parseReal(value, "--rate", 0.1, 1000.0);
                })
        .option("frames", "N", "how many frames to write, 1 to 100000 (default 5)",
                [&s](const std::string& value) {
                    s.frames = static_cast<std::uint64_t>(
                        kxtools::parseInteger(value, "--frames", 1, 100000));
                })
        .option("output-dir", "DIR",
                "the folder for the PNG files, made when missing (default: the\n"
                "current folder)",
                [&s](const std::string& value) {
                    if (value.empty())
                        throw kxtools::UsageError("--output-dir: the folder is empty");
                    s.folder = value;
                })
        .option("prefix", "NAME", "file names NAME-0001.png, NAME-0002.png, ... (default frame)",
                [&s](const std::string& value) {
                    if (value.empty() || value.find_first_of("/\\") != std::string::npos)
                        throw kxtools::UsageError("--prefix: '" + value + "' is not a file name");
                    s.prefix = value;
                })
        .option("timeout", "S", "give up when the frames have not come in S seconds (default 10)",
                [&s](const std::string& value) {
                    s.timeout = kxtools::parseReal(value, "--timeout", 0.1, 86400.0);
                })
        .epilogue("Examples:\n"
                  "  camgrab --frames 3 --output-dir demo-output\n"
                  "  camgrab --webcam /dev/video0 --frames 10 --prefix desk\n"
                  "  camgrab --webcam /dev/v4l/by-id/usb-...-video-index0 --resolution 1280x720"
                  " --rate 30\n"
                  "\n"
                  "Exit status: 0 when every frame was written, 1 on failure (no camera, no\n"
                  "frames in time, a file that cannot be written), 2 for a mistake on the\n"
                  "command line.");
    return parser;
}

std::string frameFileName(const Settings& s, std::uint64_t number) {
    char digits[32];
    std::snprintf(digits, sizeof digits, "%04llu", static_cast<unsigned long long>(number));
    std::string folder = s.folder;
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    return folder + s.prefix + "-" + digits + ".png";
}

} // namespace camgrab
