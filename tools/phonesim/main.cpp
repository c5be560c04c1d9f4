// phonesim: a simulated phone that sends the datagrams of either sensor app over
// UDP, from a seeded walking scenario or from a recording.

#include "datagram_source.h"
#include "phonesim_options.h"
#include "recording.h"
#include "send_loop.h"
#include "tools/common/help_and_version.h"
#include "tools/common/program_main.h"
#include "tools/common/stop_signal.h"
#include "udp_sink.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <stdexcept>

namespace {

using namespace phonesim;

std::string systemReason() { return errno != 0 ? std::strerror(errno) : "unknown reason"; }

// Reads the replay file and settles which app its datagrams are for.
Recording loadReplay(const Settings& settings) {
    errno = 0;
    std::ifstream in(settings.replayPath, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read replay file '" + settings.replayPath +
                                 "': " + systemReason());
    Recording recording;
    try {
        recording = readRecording(in);
    } catch (const RecordingError& error) {
        throw std::runtime_error("replay file '" + settings.replayPath + "', " + error.what());
    }
    if (settings.app && recording.app && *settings.app != *recording.app)
        throw kxtools::UsageError(std::string("--app ") + appName(*settings.app) +
                                  " does not match the replay file, which holds " +
                                  appName(*recording.app) + " datagrams");
    if (!recording.app)
        recording.app = settings.app;
    return recording;
}

int run(int argc, char** argv) {
    Settings settings;
    auto parser = makeOptionParser(settings);
    if (const auto answered = kxtools::answerHelpOrVersion(parser.parse(argc, argv), parser,
                                                           "phonesim", PHONESIM_VERSION, {}))
        return *answered;
    checkSettings(settings);

    std::unique_ptr<DatagramSource> source;
    std::optional<App> app;
    std::string what;
    if (!settings.replayPath.empty()) {
        Recording recording = loadReplay(settings);
        app = recording.app;
        what = "replaying " + std::to_string(recording.datagrams.size()) + " datagrams of " +
               settings.replayPath;
        source = std::make_unique<ReplaySource>(std::move(recording), settings.rate,
                                                settings.speed.value_or(1.0));
    } else {
        ScenarioConfig config;
        config.app = settings.app.value_or(App::Text);
        config.seed = settings.seed.value_or(config.seed);
        config.motionRate = settings.rate.value_or(config.motionRate);
        app = config.app;
        std::ostringstream line;
        line << "sending " << appName(config.app) << " datagrams (" << config.motionRate
             << " motion readings per second, seed " << config.seed << ")";
        what = line.str();
        source = std::make_unique<ScenarioSource>(config);
    }

    UdpSink sink(settings.host, settings.port, settings.bindAddress);

    std::ofstream recordFile;
    std::unique_ptr<RecordingWriter> recorder;
    if (!settings.recordPath.empty()) {
        errno = 0;
        recordFile.open(settings.recordPath, std::ios::binary | std::ios::trunc);
        if (!recordFile)
            throw std::runtime_error("cannot write record file '" + settings.recordPath +
                                     "': " + systemReason());
        // A replay without a named app is recorded as the default app's.
        recorder = std::make_unique<RecordingWriter>(recordFile, app.value_or(App::Text));
    }

    if (!settings.quiet) {
        std::cout << "phonesim: " << what << " to " << sink.destination()
                  << (settings.bindAddress.empty() ? "" : " from " + settings.bindAddress)
                  << (settings.count || settings.duration || !settings.replayPath.empty()
                          ? ""
                          : "; Ctrl-C stops")
                  << std::endl;
    }

    kxtools::installStopHandler();
    SteadyPacer pacer;
    const SendSummary summary = sendDatagrams(
        *source, sink, pacer, {settings.count, settings.duration}, app, recorder.get());
    if (recorder) {
        recordFile.flush();
        if (!recordFile)
            throw std::runtime_error("cannot write record file '" + settings.recordPath + "'");
    }
    if (!settings.quiet)
        std::cout << "phonesim: " << summaryText(summary, app) << std::endl;
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    return kxtools::runProgram("phonesim", [&] { return run(argc, argv); });
}
