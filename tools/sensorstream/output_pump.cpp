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

namespace {

// Text is written once it holds this much, and at the end of every batch.
constexpr std::size_t WRITE_BLOCK = 64 * 1024;

} // namespace

void OutputPump::run() {
    std::vector<korvex::host::BufferPtr> batch;
    batch.reserve(queue.limits().capacity);
    std::string text;
    text.reserve(2 * WRITE_BLOCK);
    while (queue.take(batch, std::chrono::milliseconds(200))) {
        MeasurementCounts batchCounts{};
        for (auto& buffer : batch) {
            const std::size_t before = text.size();
            // kineconvert answers null for a reading it cannot convert; what can still
            // throw is this side's own work on the reading (out of memory), or a
            // converter that lets its failures out. One reading that cannot be
            // converted must not end the output, nor leave part of its line behind.
            try {
                handle(buffer.get(), text, batchCounts);
            } catch (const std::exception&) {
                text.resize(before);
                ++notConverted;
            }
            if (text.size() >= WRITE_BLOCK) {
                writeOut(text);
                text.clear();
            }
        }
        // The buffers go back to their library here, on this thread.
        batch.clear();
        counts.add(batchCounts);
        if (!text.empty()) {
            writeOut(text);
            text.clear();
        }
    }
}

void OutputPump::handle(conduit::interfaces::IDataBuffer* buffer, std::string& text,
                        MeasurementCounts& batchCounts) {
    if (reached.load()) {
        ++afterCount;
        return;
    }
    kxtools::HostArray structure(converter.convertDataBuffer(buffer));
    if (!reader.read(structure.get(), record)) {
        ++notConverted;
        return;
    }
    if (settings.output != nullptr && settings.format != nullptr)
        settings.format->append(record, text);
    if (settings.live != nullptr)
        settings.live->add(record);
    ++batchCounts[counterOf(record.measurement)];
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
