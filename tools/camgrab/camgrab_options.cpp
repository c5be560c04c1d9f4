#include "camgrab_options.h"

#include "tools/common/number_parsing.h"

#include <cstdio>

namespace camgrab {

kxtools::OptionParser makeOptionParser(Settings& s) {
    kxtools::OptionParser parser(
        "camgrab", "[OPTIONS]",
        "Grabs frames from a camera through the capture device plug-in framegrab, converts\n"
        "each with the frame filter pixsieve into the host's planar RGB layout, and writes\n"
        "them as PNG files. Prints the resolution and the frame rate measured while\n"
        "grabbing. Without --webcam it uses framegrab's generated test camera.");
    parser
        .option("webcam", "ID",
                "the camera: a Video4Linux device such as /dev/video0 (camlist shows\n"
                "them), or videotestsrc for the generated test camera (the default)",
                [&s](const std::string& value) {
                    if (value.empty())
                        throw kxtools::UsageError("--webcam: the camera is empty");
                    s.webcamID = value;
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
