// sensorstream: receives a phone's sensor readings through a sensor device plug-in,
// has kineconvert turn each into a host structure and writes them out.

#include "announcement.h"
#include "console.h"
#include "device_news.h"
#include "live_table.h"
#include "output_file.h"
#include "output_pump.h"
#include "reading_stats.h"
#include "record_format.h"
#include "run_ending.h"
#include "sensor_session.h"
#include "sensorstream_options.h"
#include "status_view.h"
#include "terminal.h"
#include "tools/common/help_and_version.h"
#include "tools/common/program_main.h"
#include "tools/common/stop_signal.h"
#include "wait_hints.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

namespace {

using namespace sensorstream;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr auto TICK = 50ms;

// The console every write goes through, drawing the status block where it belongs.
Console makeConsole(const StatusPlacement& placement) {
    std::FILE* blockStream = placement.onOutput ? stdout : stderr;
    if (placement.shown && placement.onTerminal)
        enableAnsiSequences(blockStream);
    return Console(blockStream, placement.onTerminal, isTerminal(stdout), isTerminal(stderr));
}

// The readings go to the output unless --live shows them alone.
PumpSettings pumpSettings(const Settings& settings, const OutputFile& output,
                          const RecordFormat& format, LiveTable& live) {
    PumpSettings pump;
    if (!settings.live || output.isFile()) {
        pump.output = output.stream();
        pump.format = &format;
    }
    pump.live = settings.live ? &live : nullptr;
    pump.count = settings.count;
    pump.outputName = output.name();
    return pump;
}

StatusSettings statusSettings(const Settings& settings, const StatusPlacement& placement,
                              std::uint16_t port, const LiveTable& live) {
    StatusSettings status;
    status.shown = placement.shown;
    std::FILE* blockStream = placement.onOutput ? stdout : stderr;
    status.width = placement.onTerminal ? terminalWidth(blockStream) : 200;
    status.port = port;
    if (settings.live) {
        status.live = &live;
        status.liveTitle = liveTitle(settings, port);
    }
    return status;
}

// One run, in the order of its steps: the output file and the screen; the device
// listening, announced; the pump and the status; the loop until an ending; the
// summary. The members are declared in that order.
class Run {
public:
    explicit Run(const Settings& options)
        : settings(options), output(settings.outputPath),
          placement(placeStatus(settings.live, isTerminal(stdout), isTerminal(stderr))),
          console(makeConsole(placement)), session(settings, readingQueueLimits()),
          port(session.open()), start(Clock::now()), format(makeRecordFormat(settings.format)),
          pump(session.readings(), session.sampleConverter(), console, counts,
               pumpSettings(settings, output, *format, live)),
          news(console, session, port),
          status(console, counts, start, statusSettings(settings, placement, port, live)) {
        for (const auto& line : announcementLines(settings, session.interfaces(), port))
            console.say(line);
    }

    // On every way out the queue closes before the pump is joined: the pump ends
    // only once the queue is closed and empty.
    ~Run() {
        try {
            session.close();
        } catch (...) {
            session.readings().close(); // the session terms the device all the same
        }
        pump.join();
    }

    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;

    // Runs the pump and watches the device, the output and the clock until one of
    // the endings holds; returns it.
    std::string receiveUntilEnd() {
        pump.start();
        WaitHints hints(start, settings.hintAfter);
        const auto deadline = deadlineOf(start, settings.duration);
        for (;;) {
            news.show();
            const auto now = Clock::now();
            if (const auto ending = endingOf(stateAt(now, deadline), settings.count))
                return *ending;
            for (const auto hint :
                 hints.due(now, news.firstDatagram(), session.buffersWritten() > 0))
                console.say(hintText(hint, settings, port));
            status.update(now);
            kxtools::sleepUntil(std::min(now + TICK, deadline));
        }
    }

    // Stops receiving, tells the last news, the ending and the summary, and closes
    // the output; the exit code.
    int finish(const std::string& ending) {
        stopReceiving();
        const auto end = Clock::now();
        news.show();
        status.finish(end);
        const double seconds = std::chrono::duration<double>(end - start).count();
        console.write(stderr, closingText(ending, seconds, counts.snapshot(), accounting()));
        if (pump.failed())
            return kxtools::FAILURE_EXIT_CODE; // the failure was told; its file closes unchecked
        output.close();
        return 0;
    }

private:
    // Closing the device ends the writes; the pump then empties the queue and ends.
    void stopReceiving() {
        session.close();
        pump.join();
    }

    RunState stateAt(Clock::time_point now, Clock::time_point deadline) const {
        RunState state;
        if (pump.failed())
            state.outputFailure = pump.failure();
        state.countReached = pump.countReached();
        state.durationOver = now >= deadline;
        state.stopRequested = kxtools::stopRequested();
        return state;
    }

    Accounting accounting() const {
        Accounting result;
        result.written = session.buffersWritten();
        result.refused = session.buffersRefused();
        result.output = pump.outputCount();
        result.afterCount = pump.afterCountCount();
        result.notConverted = pump.notConvertedCount();
        return result;
    }

    const Settings& settings;
    OutputFile output;
    StatusPlacement placement;
    Console console;
    SensorSession session;
    std::uint16_t port;
    Clock::time_point start;
    ReadingCounts counts;
    LiveTable live;
    std::unique_ptr<RecordFormat> format;
    OutputPump pump;
    DeviceNews news;
    StatusView status;
};

int run(int argc, char** argv) {
    Settings settings;
    auto parser = makeOptionParser(settings);
    if (const auto answered = kxtools::answerHelpOrVersion(
            parser.parse(argc, argv), parser, "sensorstream", SENSORSTREAM_VERSION,
            {"kinedgram", "kinescope", "kineconvert"}))
        return *answered;
    kxtools::installStopHandler();
    Run receiving(settings);
    return receiving.finish(receiving.receiveUntilEnd());
}

} // namespace

int main(int argc, char** argv) {
    return kxtools::runProgram("sensorstream", [&] { return run(argc, argv); });
}
