#include "output_pump.h"

#include "tools/common/host_value.h"
#include "tools/common/stop_signal.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <string_view>
#include <vector>

namespace sensorstream {

OutputPump::OutputPump(ReadingQueue& readingQueue, std::vector<PumpPhone> pumpPhones,
                       Console& sharedConsole, ReadingCounts& readingCounts, PumpSettings pump)
    : queue(readingQueue), phones(std::move(pumpPhones)), console(sharedConsole),
      counts(readingCounts), settings(std::move(pump)),
      outputIsJson(dynamic_cast<const JsonFormat*>(settings.format) != nullptr),
      output(phones.size()), afterCount(phones.size()), notConverted(phones.size() + 1) {}

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
    std::vector<PhoneBuffer> batch;
    batch.reserve(queue.limits().capacity);
    std::string text;
    text.reserve(2 * WRITE_BLOCK);
    std::vector<MeasurementCounts> batchCounts(phones.size());
    while (queue.take(batch, std::chrono::milliseconds(200))) {
        std::fill(batchCounts.begin(), batchCounts.end(), MeasurementCounts{});
        for (auto& item : batch) {
            const std::size_t before = text.size();
            const std::size_t outgoingBefore = outgoing.size();
            // kineconvert answers null for a reading it cannot convert; what can still
            // throw is this side's own work on the reading (out of memory), or a
            // converter that lets its failures out. One reading that cannot be
            // converted must not end the output, nor leave part of its line behind.
            try {
                handle(item, text, batchCounts);
            } catch (const std::exception&) {
                text.resize(before);
                outgoing.truncate(outgoingBefore);
                ++notConverted[std::min<std::size_t>(item.phone, phones.size())];
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
        // The broker's side takes the batch's readings at once; it never waits for
        // the network here.
        if (settings.publisher != nullptr && !outgoing.empty())
            settings.publisher->post(outgoing);
    }
}

void OutputPump::handle(const PhoneBuffer& item, std::string& text,
                        std::vector<MeasurementCounts>& batchCounts) {
    if (item.phone >= phones.size()) {
        ++notConverted.back();
        return;
    }
    const std::size_t phone = item.phone;
    if (reached.load()) {
        ++afterCount[phone];
        return;
    }
    kxtools::HostArray structure(phones[phone].converter->convertDataBuffer(item.buffer.get()));
    if (!reader.read(structure.get(), record)) {
        ++notConverted[phone];
        return;
    }
    record.phone = phones[phone].name;
    record.monotonic = item.arrival;
    if (settings.health != nullptr)
        settings.health->arrived(phone, record.measurement, record.monotonic);
    const std::size_t lineStart = text.size();
    if (settings.output != nullptr && settings.format != nullptr)
        settings.format->append(record, text);
    if (settings.live != nullptr)
        settings.live->add(phone, record);
    if (settings.publisher != nullptr) {
        // The payload is the reading's JSON object: the output's line when the output
        // is JSON lines, without its line end.
        if (outputIsJson && settings.output != nullptr) {
            outgoing.add(phone, record.measurement,
                         std::string_view(text).substr(lineStart, text.size() - lineStart - 1));
        } else {
            payload.clear();
            json.append(record, payload);
            outgoing.add(phone, record.measurement,
                         std::string_view(payload).substr(0, payload.size() - 1));
        }
    }
    ++batchCounts[phone][counterOf(record.measurement)];
    ++output[phone];
    ++outputTotal;
    if (settings.count && outputTotal >= *settings.count) {
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

std::uint64_t OutputPump::sumOf(const std::vector<std::uint64_t>& values) {
    std::uint64_t total = 0;
    for (const auto value : values)
        total += value;
    return total;
}

} // namespace sensorstream
