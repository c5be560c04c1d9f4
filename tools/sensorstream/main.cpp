// sensorstream: receives a phone's sensor readings through a sensor device plug-in,
// has kineconvert turn each into a host structure and writes them out.

#include "console.h"
#include "live_table.h"
#include "output_pump.h"
#include "reading_stats.h"
#include "record_format.h"
#include "sensor_session.h"
#include "sensorstream_options.h"
#include "terminal.h"
#include "tools/common/help_and_version.h"
#include "tools/common/program_main.h"
#include "tools/common/stop_signal.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>

namespace {

using namespace sensorstream;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Room for a few seconds of every sensor of both apps at their fastest.
constexpr std::size_t QUEUE_CAPACITY = 4096;
constexpr auto TICK = 50ms;
constexpr auto STATUS_PERIOD = 250ms;
// After the first datagram, how long to wait for a reading before suspecting --app.
constexpr auto FORMAT_HINT_AFTER = 3s;

struct FileCloser {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};

std::string appDescription(const Settings& s) {
    return std::string(devicePluginName(s.app)) + " (" + appName(s.app) + " app)";
}

std::string listeningAddress(const Settings& s) {
    return s.bind.empty() ? "every address of this computer" : s.bind;
}

class Reporter {
public:
    Reporter(Console& out, SensorSession& sensor) : console(out), session(sensor) {}

    void line(const std::string& text) { console.write(stderr, "sensorstream: " + text + "\n"); }

    // Shows the device's messages and property updates since the last call.
    void showNews(std::uint16_t port) {
        for (const auto& message : session.newMessages()) {
            const std::string kind = message.type == "warning" ? "warning" : "error";
            line(kind + " from " + session.deviceName() + ": " + messageText(message));
        }
        for (const auto& property : session.newProperties()) {
            const std::string name = property->getName();
            if (name == "IPAddress") {
                datagramSeen = true;
                firstDatagram = Clock::now();
                line("the phone reached this computer at " + session.valueText(property.get()) +
                     " (IPAddress); from now on only that phone is heard");
            } else if (name == "PortNumber") {
                const auto value = session.valueNumber(property.get());
                if (value && *value != 0.0 && *value != static_cast<double>(port))
                    line("PortNumber is now " + session.valueText(property.get()));
            } else {
                line(name + " is now " + session.valueText(property.get()));
            }
        }
    }

    bool datagramSeen = false;
    Clock::time_point firstDatagram;

private:
    Console& console;
    SensorSession& session;
};

void announce(Reporter& report, const Settings& s, const SensorSession& session,
              std::uint16_t port) {
    const std::string portText = std::to_string(port);
    report.line(appDescription(s) + " listening on " + listeningAddress(s) + ", UDP port " +
                portText);
    const auto& addresses = session.interfaces();
    if (addresses.empty()) {
        report.line("this computer has no network address besides loopback: a phone cannot "
                    "reach it");
    } else {
        std::string list;
        for (const auto& address : addresses)
            list += (list.empty() ? "" : ", ") + address;
        report.line("point the phone app at port " + portText +
                    " and one of this computer's addresses: " + list);
    }
    if (!s.bind.empty() && s.bind.rfind("127.", 0) == 0)
        report.line(s.bind + " is reachable from this computer only; start with --bind 0.0.0.0 "
                             "to let a phone in");
    if (!s.count && !s.duration)
        report.line("Ctrl-C stops");
}

std::string noDataHint(const Settings& s, std::uint16_t port, double seconds) {
    const std::string portText = std::to_string(port);
    char waited[32];
    std::snprintf(waited, sizeof waited, "%g", seconds);
    std::string text =
        "no datagram has arrived in " + std::string(waited) + " s. Check that:\n" +
        "  - the phone is on the same network as this computer;\n" +
        "  - the app sends to one of the addresses printed above, port " + portText + ";\n" +
        "  - the app's format matches --app " + appName(s.app) +
        (s.app == App::Text ? " (comma-separated text lines)" : " (fixed-length binary records)") +
        ";\n" + "  - a firewall lets UDP in on port " + portText +
        " (for example: sudo ufw allow " + portText + "/udp)";
    if (!s.bind.empty() && s.bind.rfind("127.", 0) == 0)
        text += ";\n  - sensorstream listens on " + s.bind + " only: a phone needs --bind 0.0.0.0";
    return text;
}

int run(int argc, char** argv) {
    Settings settings;
    auto parser = makeOptionParser(settings);
    if (const auto answered = kxtools::answerHelpOrVersion(
            parser.parse(argc, argv), parser, "sensorstream", SENSORSTREAM_VERSION,
            {"kinedgram", "kinescope", "kineconvert"}))
        return *answered;

    std::unique_ptr<std::FILE, FileCloser> file;
    std::FILE* output = stdout;
    if (!settings.outputPath.empty()) {
        errno = 0;
        file.reset(std::fopen(settings.outputPath.c_str(), "wb"));
        if (!file)
            throw std::runtime_error("cannot write '" + settings.outputPath +
                                     "': " + std::strerror(errno));
        output = file.get();
    }

    const bool outputTerminal = isTerminal(stdout);
    const bool errorTerminal = isTerminal(stderr);
    std::FILE* blockStream = settings.live ? stdout : stderr;
    const bool blockTerminal = settings.live ? outputTerminal : errorTerminal;
    const bool showStatus = settings.live || errorTerminal;
    if (showStatus && blockTerminal)
        enableAnsiSequences(blockStream);
    Console console(blockStream, blockTerminal, outputTerminal, errorTerminal);
    const std::size_t width = blockTerminal ? terminalWidth(blockStream) : 200;

    kxtools::installStopHandler();
    SensorSession session(settings, QUEUE_CAPACITY);
    const std::uint16_t port = session.open();
    const auto start = Clock::now();
    Reporter report(console, session);
    announce(report, settings, session, port);

    ReadingCounts counts;
    LiveTable live;
    const auto format = makeRecordFormat(settings.format);
    PumpSettings pumpSettings;
    if (!settings.live || file) {
        pumpSettings.output = output;
        pumpSettings.format = format.get();
    }
    pumpSettings.live = settings.live ? &live : nullptr;
    pumpSettings.count = settings.count;
    pumpSettings.outputName = file ? "'" + settings.outputPath + "'" : "standard output";
    OutputPump pump(session.readings(), session.sampleConverter(), console, counts, pumpSettings);

    const std::string liveTitle = "sensorstream: " + appDescription(settings) + " on " +
                                  (settings.bind.empty() ? "0.0.0.0" : settings.bind) + ":" +
                                  std::to_string(port) + "   (Ctrl-C ends)";
    RateMeter meter;
    const auto drawStatus = [&](Clock::time_point now) {
        const double seconds = std::chrono::duration<double>(now - start).count();
        const auto snapshot = counts.snapshot();
        meter.sample(now, snapshot);
        const std::string status = totalOf(snapshot) == 0
                                       ? statusText(seconds, snapshot, meter.rates()) +
                                             ", waiting for the phone on UDP port " +
                                             std::to_string(port)
                                       : statusText(seconds, snapshot, meter.rates());
        if (settings.live)
            console.showBlock(live.lines(liveTitle, meter.rates(), status), width);
        else
            console.showBlock({status}, width);
    };

    std::string ending;
    try {
        pump.start();
        bool hinted = settings.hintAfter <= 0.0;
        bool formatHinted = false;
        auto nextStatus = start;
        const auto deadline = settings.duration
                                  ? start + std::chrono::duration_cast<Clock::duration>(
                                                std::chrono::duration<double>(*settings.duration))
                                  : Clock::time_point::max();
        for (;;) {
            report.showNews(port);
            const auto now = Clock::now();
            if (pump.failed()) {
                ending = "stopped: " + pump.failure();
                break;
            }
            if (pump.countReached()) {
                ending = "reached --count " + std::to_string(*settings.count);
                break;
            }
            if (now >= deadline) {
                ending = "ran for --duration";
                break;
            }
            if (kxtools::stopRequested()) {
                ending = "stopped by Ctrl-C";
                break;
            }
            const bool readingsCame = session.buffersWritten() > 0;
            const double waited = std::chrono::duration<double>(now - start).count();
            if (!hinted && !report.datagramSeen && !readingsCame && waited >= settings.hintAfter) {
                hinted = true;
                report.line(noDataHint(settings, port, settings.hintAfter));
            }
            if (!formatHinted && report.datagramSeen && !readingsCame &&
                now - report.firstDatagram >= FORMAT_HINT_AFTER) {
                formatHinted = true;
                report.line(std::string("datagrams arrive but none is a reading of the ") +
                            appName(settings.app) + " app: does the app's format match --app " +
                            appName(settings.app) + "?");
            }
            if (showStatus && now >= nextStatus) {
                drawStatus(now);
                nextStatus = now + STATUS_PERIOD;
            }
            kxtools::sleepUntil(std::min(now + TICK, deadline));
        }
    } catch (...) {
        session.close();
        pump.join();
        throw;
    }

    // Closing the device ends the writes; the pump then empties the queue and ends.
    session.close();
    pump.join();
    const auto end = Clock::now();
    report.showNews(port);
    if (settings.live) {
        drawStatus(end);
        console.releaseBlock();
    } else if (showStatus) {
        console.eraseBlock();
    }

    Accounting accounting;
    accounting.written = session.buffersWritten();
    accounting.refused = session.buffersRefused();
    accounting.output = pump.outputCount();
    accounting.afterCount = pump.afterCountCount();
    accounting.notConverted = pump.notConvertedCount();
    const double seconds = std::chrono::duration<double>(end - start).count();
    std::string summary = ending + "\n" + summaryText(seconds, counts.snapshot(), accounting);
    std::string prefixed;
    for (std::size_t at = 0; at < summary.size();) {
        const std::size_t next = summary.find('\n', at);
        prefixed += "sensorstream: " + summary.substr(at, next - at) + "\n";
        at = next == std::string::npos ? summary.size() : next + 1;
    }
    console.write(stderr, prefixed);

    if (file) {
        errno = 0;
        const bool closed = std::fclose(file.release()) == 0;
        if (!closed && !pump.failed())
            throw std::runtime_error("cannot write '" + settings.outputPath +
                                     "': " + std::strerror(errno));
    }
    return pump.failed() ? kxtools::FAILURE_EXIT_CODE : 0;
}

} // namespace

int main(int argc, char** argv) {
    return kxtools::runProgram("sensorstream", [&] { return run(argc, argv); });
}
