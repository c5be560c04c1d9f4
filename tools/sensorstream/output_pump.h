#pragma once

// The output thread: takes the buffers the device wrote from the reading queue a
// batch at a time, has the converter turn each into a host structure, reads it into
// one reused record, and writes the readings out in large blocks (or feeds the live
// table), counting every buffer on the way.

#include "conduit/interfaces/converter.h"
#include "console.h"
#include "live_table.h"
#include "reading_queue.h"
#include "reading_stats.h"
#include "record_format.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>

namespace sensorstream {

struct PumpSettings {
    std::FILE* output = nullptr;          // where readings go; null: nowhere (--live alone)
    const RecordFormat* format = nullptr; // required when output is set
    LiveTable* live = nullptr;            // fed when set
    std::optional<std::uint64_t> count;   // readings to output before stopping
    std::string outputName;               // for messages: "standard output" or the file
};

class OutputPump {
public:
    OutputPump(ReadingQueue& queue, conduit::interfaces::converter::IConverter& converter,
               Console& console, ReadingCounts& counts, PumpSettings settings);
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

    // After join.
    std::uint64_t outputCount() const { return output; }
    std::uint64_t afterCountCount() const { return afterCount; }
    std::uint64_t notConvertedCount() const { return notConverted; }
    const std::string& failure() const { return failureText; }

private:
    void run();
    void handle(conduit::interfaces::IDataBuffer* buffer, std::string& text,
                MeasurementCounts& batchCounts);
    void writeOut(const std::string& text);

    ReadingQueue& queue;
    conduit::interfaces::converter::IConverter& converter;
    Console& console;
    ReadingCounts& counts;
    PumpSettings settings;
    std::thread thread;
    std::atomic<bool> reached{false};
    std::atomic<bool> writeFailed{false};
    // Output thread only until join.
    SampleReader reader;
    SampleRecord record;
    std::uint64_t output = 0;
    std::uint64_t afterCount = 0;
    std::uint64_t notConverted = 0;
    std::string failureText;
};

} // namespace sensorstream
