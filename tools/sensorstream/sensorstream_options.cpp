#include "sensorstream_options.h"

#include "tools/common/choice_parsing.h"
#include "tools/common/number_parsing.h"

namespace sensorstream {

bool isDottedIPv4(const std::string& text) {
    int parts = 0;
    std::size_t at = 0;
    while (parts < 4) {
        std::size_t digits = 0;
        int value = 0;
        while (at + digits < text.size() && text[at + digits] >= '0' && text[at + digits] <= '9' &&
               digits < 4) {
            value = value * 10 + (text[at + digits] - '0');
            ++digits;
        }
        if (digits == 0 || digits > 3 || value > 255 || (digits > 1 && text[at] == '0'))
            return false;
        at += digits;
        ++parts;
        if (parts < 4) {
            if (at >= text.size() || text[at] != '.')
                return false;
            ++at;
        }
    }
    return at == text.size();
}

bool isLoopbackOnly(const std::string& bind) { return bind.rfind("127.", 0) == 0; }

std::string bindAddressOf(const std::string& value, const std::string& option) {
    if (value == "any" || value == "0.0.0.0")
        return "";
    if (!isDottedIPv4(value))
        throw kxtools::UsageError(option + ": '" + value + "' is not an IPv4 address (or any)");
    return value;
}

kxtools::OptionParser makeOptionParser(Settings& s) {
    kxtools::OptionParser parser(
        "sensorstream", "[OPTIONS]",
        "Receives the readings of phones' sensor apps through the sensor device plug-ins\n"
        "(kinedgram for the text app, kinescope for the binary app), one device for each\n"
        "phone on a UDP port of its own, and prints each reading as the converter\n"
        "kineconvert turns it into a host structure: the phone's name, the time stamp, the\n"
        "measurement and the fields that measurement sets. At start it tells where to point\n"
        "each phone's app: the phone's UDP port and this computer's addresses.");
    parser
        .option("phone", "NAME=APP[:PORT]",
                "a phone of its own name (letters, digits, '-', '_'), app (text or\n"
                "binary) and UDP port (default: the device searches, 50000 first);\n"
                "give it once per phone, each on another port: a device hears only\n"
                "the first phone that sends to it",
                [&s](const std::string& value) { addPhone(s.phones, parsePhoneSpec(value)); })
        .option("app", "text|binary",
                "without --phone, the one phone's app: text (comma-separated lines,\n"
                "kinedgram) or binary (fixed-length records, kinescope); default text",
                [&s](const std::string& value) {
                    s.appOrPortGiven = true;
                    s.app = kxtools::parseChoice<App>(
                        value, "--app", "an app", {{"text", App::Text}, {"binary", App::Binary}});
                })
        .option("port", "PORT",
                "without --phone, the UDP port to listen on, 0 to 65535; 0 (the\n"
                "default) lets the device choose: 50000 if free, else the next of its list",
                [&s](const std::string& value) {
                    s.appOrPortGiven = true;
                    s.port = static_cast<std::uint16_t>(
                        kxtools::parseInteger(value, "--port", 0, 65535));
                })
        .option("bind", "ADDR",
                "the local IPv4 address to listen on (default 127.0.0.1: only this\n"
                "computer); 0.0.0.0 or \"any\" for every address, as a real phone needs",
                [&s](const std::string& value) { s.bind = bindAddressOf(value, "--bind"); })
        .option("format", "json|csv|table",
                "json: one JSON object a line with the phone and all 18 fields, null\n"
                "when unset (the default); csv: a header line, then the phone and one\n"
                "column per field, empty when unset; table: aligned lines with the\n"
                "phone and the set fields, for reading",
                [&s](const std::string& value) {
                    s.format = kxtools::parseChoice<Format>(
                        value, "--format", "a format",
                        {{"json", Format::Json}, {"csv", Format::Csv}, {"table", Format::Table}});
                })
        .option("output", "FILE", "write the readings to FILE instead of standard output",
                [&s](const std::string& value) {
                    if (value.empty())
                        throw kxtools::UsageError("--output: the file name is empty");
                    s.outputPath = value;
                })
        .option("count", "N", "stop after N readings",
                [&s](const std::string& value) {
                    s.count = kxtools::parseUnsigned(value, "--count");
                    if (*s.count == 0)
                        throw kxtools::UsageError("--count: '0' is out of range (at least 1)");
                })
        .option("duration", "S",
                "stop after S seconds (the first of --count and --duration wins;\n"
                "without either, sensorstream runs until Ctrl-C)",
                [&s](const std::string& value) {
                    s.duration = kxtools::parseReal(value, "--duration", 0.001, 1e9);
                })
        .option("record-datagrams", "FILE",
                "also write every datagram each device accepted, its exact bytes and its\n"
                "arrival time, to FILE for phonesim --replay (with several phones one\n"
                "file each: walk.txt becomes walk-NAME.txt)",
                [&s](const std::string& value) {
                    if (value.empty())
                        throw kxtools::UsageError("--record-datagrams: the file name is empty");
                    s.recordDatagramsPath = value;
                })
        .option("health", "FILE",
                "at the end write a JSON report of each phone's streams to FILE: the\n"
                "achieved rate and the gaps of every measurement, on the monotonic clock",
                [&s](const std::string& value) {
                    if (value.empty())
                        throw kxtools::UsageError("--health: the file name is empty");
                    s.healthPath = value;
                })
        .flag("live", "",
              "instead of scrolling readings, show a table refreshed in place: the\n"
              "latest value of every field of each measurement, with a sparkline of\n"
              "recent values and the rates (with --output the file still gets them all)",
              s.live)
        .option("no-data-hint", "S",
                "seconds without any datagram before sensorstream says what to check\n"
                "(default 10; 0: never)",
                [&s](const std::string& value) {
                    s.hintAfter = kxtools::parseReal(value, "--no-data-hint", 0.0, 86400.0);
                })
        .epilogue(
            "Examples:\n"
            "  sensorstream --app text --count 100\n"
            "  sensorstream --app binary --bind 0.0.0.0 --port 50000 --live\n"
            "  sensorstream --format csv --output walk.csv --duration 60\n"
            "  sensorstream --bind 0.0.0.0 --phone left=text:50000 --phone right=binary:50001\n"
            "  sensorstream --phone left=text:50000 --mqtt 127.0.0.1 --mqtt-prefix lab/walk\n"
            "\n"
            "With a real phone: start with --bind 0.0.0.0, then enter in the app one of the\n"
            "addresses sensorstream prints and the phone's port; a firewall must let UDP in\n"
            "on it. Each port hears only the first phone that sends to it until sensorstream\n"
            "is started again: two phones on one port cannot be told apart, so every phone\n"
            "gets a port of its own (--phone).\n"
            "\n"
            "Messages of the device go to standard error; on a terminal a status line there\n"
            "shows the readings per second of each measurement. Ctrl-C ends with a summary.\n"
            "Exit status: 0 when done or stopped by Ctrl-C, 1 on failure, 2 for a mistake on\n"
            "the command line.");
    addMqttOptions(parser, s.mqtt);
    return parser;
}

void completeSettings(Settings& settings, const char* mqttPasswordFromEnvironment) {
    if (settings.phones.empty()) {
        settings.phones.push_back({DEFAULT_PHONE_NAME, settings.app, settings.port});
    } else if (settings.appOrPortGiven) {
        throw kxtools::UsageError("--app and --port are for the one phone without --phone; with "
                                  "--phone give each phone's app and port: NAME=APP:PORT");
    }
    if (settings.phones.size() > MAX_PHONES)
        throw kxtools::UsageError("--phone: at most " + std::to_string(MAX_PHONES) +
                                  " phones in one run");
    completeMqttSettings(settings.mqtt, mqttPasswordFromEnvironment);
}

} // namespace sensorstream
