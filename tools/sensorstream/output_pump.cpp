#include "output_pump.h"

#include "tools/common/host_value.h"
#include "tools/common/stop_signal.h"

#include <cerrno>
#include <cstring>
#include <exception>
#include <vector>

namespace sensorstream {

OutputPump::OutputPump(ReadingQueue& readingQueue,
                       conduit::interfaces::converter::IConverter& sampleConverter,
                       Console& sharedConsole, ReadingCounts& readingCounts, PumpSettings pump)
    : queue(readingQueue), converter(sampleConverter), console(sharedConsole),
      counts(readingCounts), settings(std::move(pump)) {}

OutputPump::~OutputPump() { join(); }

void OutputPump::start() {
    if (settings.output != nullptr && settings.format != nullptr) {
        const std::string header = settings.format->header();
        if (!header.empty())
            writeOut(header);
    }
    thread = std::thread([this] { run(); });
}

void OutputPump::join() {
    if (thread.joinable())
        thread.join();
}

void OutputPump::run() {
    std::vector<korvex::host::BufferPtr> batch;
    std::string text;
    while (queue.takeAll(batch, std::chrono::milliseconds(200))) {
        text.clear();
        for (auto& buffer : batch) {
            // kineconvert answers null for a reading it cannot convert; what can still
            // throw is this side's own work on the reading (out of memory), or a
            // converter that lets its failures out. One reading that cannot be
            // converted must not end the output.
            try {
                handle(buffer.get(), text);
            } catch (const std::exception&) {
                ++notConverted;
            }
        }
        // The buffers go back to their library here, on this thread.
        batch.clear();
        if (!text.empty())
            writeOut(text);
    }
}

void OutputPump::handle(conduit::interfaces::IDataBuffer* buffer, std::string& text) {
    if (reached.load()) {
        ++afterCount;
        return;
    }
    kxtools::HostArray structure(converter.convertDataBuffer(buffer));
    const auto record = readSampleRecord(structure.get());
    if (!record) {
        ++notConverted;
        return;
    }
    if (settings.output != nullptr && settings.format != nullptr)
        settings.format->append(*record, text);
    if (settings.live != nullptr)
        settings.live->add(*record);
    counts.add(record->measurement);
    ++output;
    if (settings.count && output >= *settings.count) {
        reached.store(true);
        kxtools::requestStop();
    }
}

void OutputPump::writeOut(const std::string& text) {
    if (writeFailed.load() || settings.output == nullptr)
        return;
    errno = 0;
    if (!console.write(settings.output, text)) {
        failureText = "cannot write to " + settings.outputName + ": " +
                      (errno != 0 ? std::strerror(errno) : "write error");
        writeFailed.store(true);
        kxtools::requestStop();
    }
}

} // namespace sensorstream
