// sensorstream: receives phones' sensor readings through the sensor device plug-ins,
// one device a phone, has kineconvert turn each into a host structure and writes
// them out, and with --mqtt publishes them to a broker.

#include "announcement.h"
#include "console.h"
#include "datagram_recording.h"
#include "device_news.h"
#include "health_watch.h"
#include "live_table.h"
#include "mqtt_bridge.h"
#include "output_file.h"
#include "output_pump.h"
#include "phone_report.h"
#include "phone_sessions.h"
#include "reading_stats.h"
#include "record_format.h"
#include "run_ending.h"
#include "sensorstream_options.h"
#include "status_view.h"
#include "terminal.h"
#include "tools/arrivals/monotonic_clock.h"
#include "tools/common/help_and_version.h"
#include "tools/common/program_main.h"
#include "tools/common/stop_signal.h"
#include "wait_hints.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace sensorstream;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr auto TICK = 50ms;
// At the end, readings still waiting for the broker get this long without any
// being confirmed before they count as unsent.
constexpr auto BROKER_PATIENCE = 5s;

// The console every write goes through, drawing the status block where it belongs.
Console makeConsole(const StatusPlacement& placement) {
    std::FILE* blockStream = placement.onOutput ? stdout : stderr;
    if (placement.shown && placement.onTerminal)
        enableAnsiSequences(blockStream);
    return Console(blockStream, placement.onTerminal, isTerminal(stdout), isTerminal(stderr));
}

std::size_t longestName(const std::vector<PhoneSpec>& phones) {
    std::size_t longest = 0;
    for (const auto& phone : phones)
        longest = std::max(longest, phone.name.size());
    return longest;
}

std::vector<PumpPhone> pumpPhones(PhoneSessions& phones) {
    std::vector<PumpPhone> result;
    for (std::size_t i = 0; i < phones.size(); ++i)
        result.push_back({phones.phone(i).name, &phones.session(i).sampleConverter()});
    return result;
}

// The readings go to the output unless --live shows them alone.
PumpSettings pumpSettings(const Settings& settings, const OutputFile& output,
                          const RecordFormat& format, LiveTable& live, ReadingPublisher* publisher,
                          HealthWatch& health) {
    PumpSettings pump;
    if (!settings.live || output.isFile()) {
        pump.output = output.stream();
        pump.format = &format;
    }
    pump.live = settings.live ? &live : nullptr;
    pump.publisher = publisher;
    pump.health = &health;
    pump.count = settings.count;
    pump.outputName = output.name();
    return pump;
}

StatusSettings statusSettings(const Settings& settings, const StatusPlacement& placement,
                              const std::vector<std::uint16_t>& ports, const LiveTable& live,
                              const ReadingPublisher* publisher, const HealthWatch& health) {
    StatusSettings status;
    status.shown = placement.shown;
    std::FILE* blockStream = placement.onOutput ? stdout : stderr;
    status.width = placement.onTerminal ? terminalWidth(blockStream) : 200;
    for (std::size_t i = 0; i < settings.phones.size(); ++i)
        status.phones.push_back(
            {settings.phones[i].name, ports[i], liveSectionTitle(settings.phones[i], ports[i])});
    if (settings.live) {
        status.live = &live;
        status.liveTitle = liveTitle(settings, ports);
    }
    status.publisher = publisher;
    status.health = &health;
    return status;
}

// One run, in the order of its steps: the output file and the screen; every phone's
// device listening; the broker's bridge; the pump and the status; announced; the
// loop until an ending; the summary. The members are declared in that order.
class Run {
public:
    explicit Run(const Settings& options)
        : settings(options), output(settings.outputPath),
          placement(placeStatus(settings.live, isTerminal(stdout), isTerminal(stderr))),
          console(makeConsole(placement)),
          recording(settings.recordDatagramsPath, settings.phones, arrivals::monotonicNow()),
          phones(settings.phones, settings.bind, readingQueueLimits()), ports(phones.open()),
          start(Clock::now()), counts(phones.size()),
          format(makeRecordFormat(settings.format, longestName(settings.phones))),
          publisher(settings.mqtt.enabled() ? makeMqttPublisher(settings.mqtt, phones.names())
                                            : nullptr),
          health(phones.names()),
          pump(phones.readings(), pumpPhones(phones), console, counts,
               pumpSettings(settings, output, *format, live, publisher.get(), health)),
          status(console, counts, start,
                 statusSettings(settings, placement, ports, live, publisher.get(), health)) {
        recording.start(ports);
        health.watchPorts(ports);
        const bool several = phones.size() > 1;
        news.reserve(phones.size());
        for (std::size_t i = 0; i < phones.size(); ++i) {
            news.emplace_back(console, phones.session(i), ports[i],
                              several ? phones.phone(i).name + ": " : std::string());
            hints.emplace_back(start, settings.hintAfter);
        }
        for (const auto& line : announcementLines(settings, phones.session(0).interfaces(), ports))
            console.say(line);
    }

    // On every way out the devices and the queue close before the pump is joined:
    // the pump ends only once the queue is closed and empty.
    ~Run() {
        try {
            phones.close();
        } catch (...) {
            phones.readings().close(); // the sessions term the devices all the same
        }
        pump.join();
    }

    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;

    // Runs the pump and watches the devices, the broker, the output and the clock
    // until one of the endings holds; returns it.
    std::string receiveUntilEnd() {
        pump.start();
        const auto deadline = deadlineOf(start, settings.duration);
        for (;;) {
            showNews();
            const auto now = Clock::now();
            if (const auto ending = endingOf(stateAt(now, deadline), settings.count))
                return *ending;
            for (std::size_t i = 0; i < phones.size(); ++i) {
                for (const auto hint : hints[i].due(now, news[i].firstDatagram(),
                                                    phones.session(i).buffersWritten() > 0))
                    console.say(hintText(hint, settings, i, ports[i]));
            }
            status.update(now);
            kxtools::sleepUntil(std::min(now + TICK, deadline));
        }
    }

    // Stops receiving, tells the last news, lets the broker take what waits, tells
    // the ending and the summary, and closes the output; the exit code.
    int finish(const std::string& ending) {
        stopReceiving();
        const auto end = Clock::now();
        showNews();
        status.finish(end);
        std::optional<PublisherStatus> broker;
        if (publisher) {
            if (const auto waiting = publisher->status().waiting; waiting > 0)
                console.say("mqtt: " + std::to_string(waiting) +
                            " readings still wait for the broker; waiting while it confirms them");
            broker = publisher->finish(BROKER_PATIENCE);
            showNews();
        }
        const double seconds = std::chrono::duration<double>(end - start).count();
        console.write(stderr, closingText(ending, runSummary(seconds, outcomes(),
                                                             broker ? &*broker : nullptr)));
        finishArrivals();
        if (pump.failed())
            return kxtools::FAILURE_EXIT_CODE; // the failure was told; its file closes unchecked
        output.close();
        return 0;
    }

private:
    // Closing the devices ends the writes; the pump then empties the queue and ends.
    void stopReceiving() {
        phones.close();
        pump.join();
    }

    // The stream health and the datagram recordings, said after the summary and
    // written to their files.
    void finishArrivals() {
        std::string text;
        for (const auto& line : health.summaryLines())
            text += "sensorstream: health of " + line + "\n";
        recording.finish();
        for (const auto& line : recording.summaryLines())
            text += "sensorstream: " + line + "\n";
        if (!settings.healthPath.empty()) {
            health.writeReport(settings.healthPath);
            text += "sensorstream: stream health written to " + settings.healthPath + "\n";
        }
        console.write(stderr, text);
    }

    void showNews() {
        for (auto& phone : news)
            phone.show();
        if (publisher) {
            for (const auto& line : publisher->news())
                console.say("mqtt: " + line);
        }
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

    std::vector<PhoneOutcome> outcomes() const {
        const auto perPhone = counts.perPhone();
        std::vector<PhoneOutcome> result;
        for (std::size_t i = 0; i < phones.size(); ++i) {
            PhoneOutcome phone;
            phone.name = phones.phone(i).name;
            phone.counts = perPhone[i];
            phone.accounting.written = phones.session(i).buffersWritten();
            phone.accounting.refused = phones.session(i).buffersRefused();
            phone.accounting.output = pump.outputCount(i);
            phone.accounting.afterCount = pump.afterCountCount(i);
            phone.accounting.notConverted = pump.notConvertedCount(i);
            result.push_back(std::move(phone));
        }
        return result;
    }

    const Settings& settings;
    OutputFile output;
    StatusPlacement placement;
    Console console;
    // Before the phones: its tap is set before their devices open.
    DatagramRecording recording;
    PhoneSessions phones;
    std::vector<std::uint16_t> ports;
    Clock::time_point start;
    ReadingCounts counts;
    LiveTable live;
    std::unique_ptr<RecordFormat> format;
    std::unique_ptr<ReadingPublisher> publisher;
    HealthWatch health;
    OutputPump pump;
    std::vector<DeviceNews> news;
    std::vector<WaitHints> hints;
    StatusView status;
};

int run(int argc, char** argv) {
    Settings settings;
    auto parser = makeOptionParser(settings);
    if (const auto answered = kxtools::answerHelpOrVersion(
            parser.parse(argc, argv), parser, "sensorstream", SENSORSTREAM_VERSION,
            {"kinedgram", "kinescope", "kineconvert"}))
        return *answered;
    completeSettings(settings, std::getenv(MQTT_PASSWORD_VARIABLE));
    if (settings.mqtt.enabled() && !mqttAvailable())
        throw kxtools::UsageError("--mqtt: this sensorstream was built without MQTT "
                                  "(libmosquitto)");
    kxtools::installStopHandler();
    Run receiving(settings);
    return receiving.finish(receiving.receiveUntilEnd());
}

} // namespace

int main(int argc, char** argv) {
    return kxtools::runProgram("sensorstream", [&] { return run(argc, argv); });
}
