#pragma once

// The output thread: takes the buffers every phone's device wrote from the reading
// queue a batch at a time, has the phone's converter turn each into a host
// structure, reads it into one reused record marked with the phone's name, and
// writes the readings out in large blocks (or feeds the live table), counting every
// buffer per phone on the way. With a broker, each reading's JSON object also goes
// into a batch that is handed to the publisher once per queue batch.

#include "conduit/interfaces/converter.h"
#include "console.h"
#include "health_watch.h"
#include "live_table.h"
#include "outgoing_batch.h"
#include "reading_queue.h"
#include "reading_stats.h"
#include "record_format.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace sensorstream {

// A phone as the pump sees it: its name, which every reading of it carries, and the
// converter of its session.
struct PumpPhone {
    std::string name;
    conduit::interfaces::converter::IConverter* converter = nullptr;
};

struct PumpSettings {
    std::FILE* output = nullptr;           // where readings go; null: nowhere (--live alone)
    const RecordFormat* format = nullptr;  // required when output is set
    LiveTable* live = nullptr;             // fed when set
    ReadingPublisher* publisher = nullptr; // fed when set
    HealthWatch* health = nullptr;         // told every reading's arrival when set
    std::optional<std::uint64_t> count;    // readings of all phones to output before stopping
    std::string outputName;                // for messages: "standard output" or the file
};

class OutputPump {
public:
    // phones: in the order of PhoneBuffer::phone; a buffer of a phone not listed is
    // counted as not converted.
    OutputPump(ReadingQueue& queue, std::vector<PumpPhone> phones, Console& console,
               ReadingCounts& counts, PumpSettings settings);
    ~OutputPump(); // joins

    OutputPump(const OutputPump&) = delete;
    OutputPump& operator=(const OutputPump&) = delete;

    // Writes the header and starts the thread; the thread runs until the queue is
    // closed and empty.
    void start();
    void join();

    // Any thread.
    bool countReached() const { return reached.load(); }
    bool failed() const { return writeFailed.load(); }

    // After join, of every phone together and of one.
    std::uint64_t outputCount() const { return sumOf(output); }
    std::uint64_t afterCountCount() const { return sumOf(afterCount); }
    std::uint64_t notConvertedCount() const { return sumOf(notConverted); }
    std::uint64_t outputCount(std::size_t phone) const { return output.at(phone); }
    std::uint64_t afterCountCount(std::size_t phone) const { return afterCount.at(phone); }
    std::uint64_t notConvertedCount(std::size_t phone) const { return notConverted.at(phone); }
    const std::string& failure() const { return failureText; }

private:
    void run();
    void handle(const PhoneBuffer& item, std::string& text,
                std::vector<MeasurementCounts>& batchCounts);
    void writeOut(const std::string& text);
    static std::uint64_t sumOf(const std::vector<std::uint64_t>& counts);

    ReadingQueue& queue;
    const std::vector<PumpPhone> phones;
    Console& console;
    ReadingCounts& counts;
    PumpSettings settings;
    bool outputIsJson; // the output's lines are the broker's payloads
    const JsonFormat json;
    std::thread thread;
    std::atomic<bool> reached{false};
    std::atomic<bool> writeFailed{false};
    // Output thread only until join.
    SampleReader reader;
    SampleRecord record;
    OutgoingBatch outgoing;
    std::string payload;
    std::uint64_t outputTotal = 0;
    std::vector<std::uint64_t> output;       // a phone
    std::vector<std::uint64_t> afterCount;   // a phone
    std::vector<std::uint64_t> notConverted; // a phone; the last for phones not listed
    std::string failureText;
};

} // namespace sensorstream
