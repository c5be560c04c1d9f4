#include "send_loop.h"

#include "tools/common/stop_signal.h"

#include <algorithm>
#include <cstdio>

namespace phonesim {

namespace {

constexpr double MAX_WAIT_SECONDS = 1e9;

} // namespace

SteadyPacer::SteadyPacer() : start(std::chrono::steady_clock::now()) {}

bool SteadyPacer::waitUntil(double seconds) {
    // A hand-written recording may name any time; beyond about 30 years the
    // conversion to clock ticks would overflow.
    seconds = std::min(seconds, MAX_WAIT_SECONDS);
    const auto offset = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(seconds));
    return kxtools::sleepUntil(start + offset);
}

double SteadyPacer::elapsed() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

SendSummary sendDatagrams(DatagramSource& source, DatagramSink& sink, Pacer& pacer,
                          const SendLimits& limits, std::optional<App> classifyAs,
                          RecordingWriter* recorder) {
    SendSummary summary;
    OutgoingDatagram datagram;
    while (!limits.count || summary.total < *limits.count) {
        if (!source.next(datagram))
            break;
        if (limits.duration && datagram.time >= *limits.duration) {
            // The next datagram is due after the end: run the full duration anyway.
            summary.interrupted = !pacer.waitUntil(*limits.duration);
            break;
        }
        if (!pacer.waitUntil(datagram.time)) {
            summary.interrupted = true;
            break;
        }
        sink.send(datagram.bytes);
        if (recorder != nullptr)
            recorder->write(datagram.time, datagram.bytes);
        ++summary.total;
        Kind kind;
        if (classifyAs &&
            classifyDatagram(*classifyAs, datagram.bytes.data(), datagram.bytes.size(), kind))
            ++summary.perKind[static_cast<std::size_t>(kind)];
        else
            ++summary.other;
    }
    summary.seconds = pacer.elapsed();
    return summary;
}

std::string summaryText(const SendSummary& summary, std::optional<App> app) {
    char head[96];
    std::snprintf(head, sizeof head, "sent %llu datagram%s in %.2f s",
                  static_cast<unsigned long long>(summary.total), summary.total == 1 ? "" : "s",
                  summary.seconds);
    std::string text = head;
    std::string kinds;
    for (std::size_t i = 0; i < KIND_COUNT; ++i) {
        const auto kind = static_cast<Kind>(i);
        if (app && appOf(kind) == *app)
            kinds += std::string(kinds.empty() ? "" : ", ") + kindName(kind) + " " +
                     std::to_string(summary.perKind[i]);
    }
    if (summary.other != 0 || kinds.empty())
        kinds += std::string(kinds.empty() ? "" : ", ") + "other " + std::to_string(summary.other);
    text += " (" + kinds + ")";
    if (summary.interrupted)
        text += ", stopped by Ctrl-C";
    return text;
}

} // namespace phonesim
