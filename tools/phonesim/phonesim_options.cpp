#include "phonesim_options.h"

#include "scenario.h"
#include "tools/common/choice_parsing.h"
#include "tools/common/number_parsing.h"

namespace phonesim {

kxtools::OptionParser makeOptionParser(Settings& s) {
    kxtools::OptionParser parser(
        "phonesim", "[OPTIONS]",
        "Simulates a phone running one of the two sensor apps: sends its UDP datagrams to a\n"
        "host and port, from a person walking a loop (acceleration, rotation rate, magnetic\n"
        "field, orientation, heading and a location fix every second), or replays datagrams\n"
        "recorded earlier. The same seed gives the same datagrams.");
    parser
        .option("app", "text|binary",
                "the app to simulate: text (comma-separated lines: A, M, O, G, N)\n"
                "or binary (records 0x10, 0x20, 0x30, 0x40); default text",
                [&s](const std::string& value) {
                    s.app = kxtools::parseChoice<App>(
                        value, "--app", "an app", {{"text", App::Text}, {"binary", App::Binary}});
                })
        .option("host", "HOST", "where to send, a name or an address (default 127.0.0.1)",
                [&s](const std::string& value) {
                    if (value.empty())
                        throw kxtools::UsageError("--host: the host is empty");
                    s.host = value;
                })
        .option(
            "port", "PORT",
            "the UDP port to send to, 1 to 65535 (default " + std::to_string(DEFAULT_PORT) + ")",
            [&s](const std::string& value) {
                s.port =
                    static_cast<std::uint16_t>(kxtools::parseInteger(value, "--port", 1, 65535));
            })
        .option("rate", "HZ",
                "motion readings per second, of each motion kind (default 50, at most\n"
                "10000); with --replay: datagrams per second instead of the recorded\n"
                "pacing (at most 500000)",
                [&s](const std::string& value) {
                    s.rate = kxtools::parseReal(value, "--rate", 0.01, MAX_REPLAY_RATE);
                })
        .option("speed", "X",
                "with --replay: X times the recorded pace, the pauses kept in\n"
                "proportion (2 replays twice as fast; default 1)",
                [&s](const std::string& value) {
                    s.speed = kxtools::parseReal(value, "--speed", 0.01, 10000);
                })
        .option(
            "count", "N", "stop after N datagrams",
            [&s](const std::string& value) { s.count = kxtools::parseUnsigned(value, "--count"); })
        .option("duration", "S",
                "stop after S seconds (the first of --count and --duration wins;\n"
                "without either, phonesim runs until Ctrl-C)",
                [&s](const std::string& value) {
                    s.duration = kxtools::parseReal(value, "--duration", 0.0, 1e9);
                })
        .option(
            "seed", "N", "the scenario's seed, a whole number (default 1)",
            [&s](const std::string& value) { s.seed = kxtools::parseUnsigned(value, "--seed"); })
        .option("bind", "ADDR",
                "send from this local address, for example 127.0.0.2 (a second\n"
                "phone for the receiver's single-sender rule)",
                [&s](const std::string& value) { s.bindAddress = value; })
        .option("record", "FILE",
                "also write every datagram sent to FILE: hex lines \"<seconds> <bytes>\"\n"
                "after a \"# phonesim recording\" and a \"# app text|binary\" line",
                [&s](const std::string& value) { s.recordPath = value; })
        .option("replay", "FILE", "send the datagrams recorded in FILE instead of the scenario",
                [&s](const std::string& value) { s.replayPath = value; })
        .flag("quiet", "q", "print nothing but errors (no start line, no summary)", s.quiet)
        .epilogue("Examples:\n"
                  "  phonesim --app binary --port 50000 --duration 10\n"
                  "  phonesim --count 500 --record walk.txt && phonesim --replay walk.txt\n"
                  "  phonesim --replay recorded.txt --speed 4\n"
                  "\n"
                  "At the end phonesim prints one line: the datagrams sent per kind and the time\n"
                  "taken. Exit status: 0 when done or stopped by Ctrl-C, 1 on failure, 2 for a\n"
                  "mistake on the command line.");
    return parser;
}

void checkSettings(const Settings& s) {
    if (s.replayPath.empty() && s.rate && *s.rate > MAX_MOTION_RATE)
        throw kxtools::UsageError("--rate: the walk has at most " +
                                  std::to_string(static_cast<long>(MAX_MOTION_RATE)) +
                                  " motion readings a second (--replay sends faster)");
    if (s.speed && s.replayPath.empty())
        throw kxtools::UsageError("--speed paces a replay: it needs --replay");
    if (s.speed && s.rate)
        throw kxtools::UsageError("--speed and --rate both pace the replay: give one");
    if (!s.replayPath.empty() && s.seed)
        throw kxtools::UsageError("--seed has no effect with --replay");
    if (!s.replayPath.empty() && s.replayPath == s.recordPath)
        throw kxtools::UsageError("--record would overwrite the --replay file");
}

} // namespace phonesim
