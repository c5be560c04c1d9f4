#include "sensorview_options.h"

#include "tools/common/number_parsing.h"
#include "tools/sensorstream/sensorstream_options.h"

namespace sensorview {

kxtools::OptionParser makeOptionParser(Settings& s) {
    kxtools::OptionParser parser(
        "sensorview", "[OPTIONS]",
        "Shows phones' sensor readings and a camera's picture live in a web browser. It\n"
        "receives each phone through its sensor device plug-in and kineconvert, the camera\n"
        "through framegrab and pixsieve, and serves a page on http://127.0.0.1:8080/ with\n"
        "time plots of every field of each measurement, the track of the location fixes,\n"
        "the latest camera frame, the readings per second and the datagram counts.");
    parser
        .option("phone", "NAME=APP[:PORT]",
                "a phone to listen to, repeatable: its name on the page, its app (text\n"
                "or binary) and the UDP port (0 or none: the device chooses); without\n"
                "--phone, one phone of each app: text=text and binary=binary",
                [&s](const std::string& value) {
                    sensorstream::addPhone(s.phones, sensorstream::parsePhoneSpec(value));
                })
        .option("bind", "ADDR",
                "the local IPv4 address the phones' datagrams come to (default\n"
                "127.0.0.1: only this computer); 0.0.0.0 or \"any\" for a real phone",
                [&s](const std::string& value) {
                    s.bind = sensorstream::bindAddressOf(value, "--bind");
                })
        .option("camera", "ID",
                "also show this camera: a device path such as /dev/video0, or\n"
                "videotestsrc for the generated test camera (640x480 at 30 a second)",
                [&s](const std::string& value) {
                    if (value.empty())
                        throw kxtools::UsageError("--camera: the camera is empty");
                    s.camera = value;
                })
        .option("http-address", "ADDR",
                "the address the page is served on (default 127.0.0.1: only this\n"
                "computer); another only when others must see it",
                [&s](const std::string& value) {
                    if (!sensorstream::isDottedIPv4(value))
                        throw kxtools::UsageError("--http-address: '" + value +
                                                  "' is not an IPv4 address");
                    s.httpAddress = value;
                })
        .option("http-port", "PORT", "the page's TCP port (default 8080; 0: any free port)",
                [&s](const std::string& value) {
                    s.httpPort = static_cast<std::uint16_t>(
                        kxtools::parseInteger(value, "--http-port", 0, 65535));
                })
        .option("max-clients", "N",
                "browsers shown the live view at once (default 4, at most 32); the\n"
                "next ones get a page that says so",
                [&s](const std::string& value) {
                    s.maxClients = static_cast<std::size_t>(
                        kxtools::parseInteger(value, "--max-clients", 1, 32));
                })
        .option("client-queue", "N",
                "messages that may wait for one browser (default 64); a browser that\n"
                "falls further behind misses readings, and the page counts them",
                [&s](const std::string& value) {
                    s.clientQueue = static_cast<std::size_t>(
                        kxtools::parseInteger(value, "--client-queue", 2, 100000));
                })
        .option("duration", "S", "stop after S seconds (default: run until Ctrl-C)",
                [&s](const std::string& value) {
                    s.duration = kxtools::parseReal(value, "--duration", 0.001, 1e9);
                })
        .epilogue("Examples:\n"
                  "  sensorview --camera videotestsrc\n"
                  "  sensorview --phone walk=text:50000 --phone bike=binary:50001\n"
                  "  sensorview --phone walk=text --bind 0.0.0.0\n"
                  "\n"
                  "Open the address it prints in a browser on this computer. The page loads\n"
                  "nothing from elsewhere. Ctrl-C ends it. Exit status: 0 when done or stopped\n"
                  "by Ctrl-C, 1 on failure, 2 for a mistake on the command line.");
    return parser;
}

void completeSettings(Settings& settings) {
    if (settings.phones.empty())
        settings.phones = sensorstream::defaultPhones();
}

} // namespace sensorview
