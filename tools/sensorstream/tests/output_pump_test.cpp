#include "file_contents.h"
#include "sample_structures.h"
#include "tools/sensorstream/output_pump.h"

#include <atomic>
#include <cstdio>
#include <gtest/gtest.h>
#include <memory>
#include <new>
#include <optional>
#include <string>

namespace {

using namespace sensorstream;
using namespace std::chrono_literals;
using korvex::host::BufferPtr;
using sensorstream::testing::contentsOf;
using sensorstream::testing::MARCH_2_2014;

class NumberedBuffer : public conduit::interfaces::IDataBuffer {
public:
    explicit NumberedBuffer(int n) : number(n) {}
    std::size_t getCount() const override { return 1; }
    void destroy() override { delete this; }
    const int number;

private:
    ~NumberedBuffer() override = default;
};

// Makes an acceleration structure with X = the buffer's number; buffer 3 gives
// nothing and buffer 4 fails as a converter's failed allocation would.
class ScriptedConverter : public conduit::interfaces::converter::IConverter {
public:
    tvArray* convertDataBuffer(conduit::interfaces::IDataBuffer* buffer) override {
        const int n = static_cast<NumberedBuffer*>(buffer)->number;
        if (n == 3)
            return nullptr;
        if (n == 4)
            throw std::bad_alloc();
        return sensorstream::testing::sampleStructure(1, MARCH_2_2014, {{"X", n}}).release();
    }
    std::int32_t query1() override { return 1; }
    std::int32_t query2() override { return 0; }
    std::int32_t query3() override { return 1; }
    tvArray* convertProperty(conduit::interfaces::IPropertyInfo*) override { return nullptr; }
    conduit::interfaces::IPropertyInfo* convertToProperty(const char*, const tvArray*) override {
        return nullptr;
    }
    std::intptr_t query4() override { return 0; }
    void destroy() override {}
};

// Takes every batch the pump posts and keeps its readings, as a broker's bridge
// would send them.
class RecordingPublisher : public ReadingPublisher {
public:
    struct Posted {
        std::size_t phone;
        std::int32_t measurement;
        std::string payload;
    };

    void post(OutgoingBatch& batch) override {
        ++batches;
        for (std::size_t i = 0; i < batch.size(); ++i)
            posted.push_back(
                {batch[i].phone, batch[i].measurement, std::string(batch.payload(batch[i]))});
        batch.clear();
    }
    PublisherStatus status() const override { return {}; }
    std::vector<std::string> news() override { return {}; }
    PublisherStatus finish(std::chrono::milliseconds) override { return {}; }

    std::size_t batches = 0;
    std::vector<Posted> posted;
};

// A pump over a queue of `capacity` buffers and the scripted converter, writing one
// format to `output`, for the phones named. feed() pushes numbered buffers of a
// phone; finish() closes the queue and joins.
struct PumpRig {
    PumpRig(std::size_t capacity, Format outputFormat, std::FILE* output, const char* name,
            std::optional<std::uint64_t> count = std::nullopt,
            std::vector<std::string> phoneNames = {"phone"}, ReadingPublisher* publisher = nullptr)
        : names(std::move(phoneNames)), queue(limits(capacity)), counts(names.size()),
          format(makeRecordFormat(outputFormat)),
          pump(queue, pumpPhones(), console, counts, settings(output, name, count, publisher)) {
        pump.start();
    }

    // Buffer n arrives at 1000 + n seconds.
    void feed(int buffers, int modulo = 0, std::uint16_t phone = 0) {
        for (int n = 0; n < buffers; ++n)
            ASSERT_TRUE(queue.push(PhoneBuffer{
                BufferPtr(new NumberedBuffer(modulo != 0 ? n % modulo : n)), phone, 1000.0 + n}));
    }
    void finish() {
        queue.close();
        pump.join();
    }

    static korvex::host::BatchLimits limits(std::size_t capacity) {
        korvex::host::BatchLimits queueLimits = readingQueueLimits();
        queueLimits.capacity = capacity;
        return queueLimits;
    }
    std::vector<PumpPhone> pumpPhones() {
        std::vector<PumpPhone> phones;
        for (const auto& phoneName : names)
            phones.push_back({phoneName, &converter});
        return phones;
    }
    PumpSettings settings(std::FILE* output, const char* name, std::optional<std::uint64_t> count,
                          ReadingPublisher* publisher) const {
        PumpSettings result;
        result.output = output;
        result.format = format.get();
        result.count = count;
        result.outputName = name;
        result.publisher = publisher;
        return result;
    }

    std::vector<std::string> names;
    ReadingQueue queue;
    ScriptedConverter converter;
    Console console{stderr, false, false, false};
    ReadingCounts counts;
    std::unique_ptr<RecordFormat> format;
    OutputPump pump;
};

// phone: a literal, which outlives the record that views it.
// The reading of buffer n, which arrived at 1000 + n seconds (PumpRig::feed).
SampleRecord readingOf(const char* phone, int n) {
    auto record = sensorstream::testing::sampleRecord(1, MARCH_2_2014, {{"X", n}});
    record.phone = phone;
    record.monotonic = 1000.0 + n;
    return record;
}

TEST(OutputPump, AccountsForEveryBuffer) {
    std::FILE* out = std::tmpfile();
    ASSERT_NE(nullptr, out);
    PumpRig rig(4, Format::Csv, out, "the test file", 5);
    // Buffers 0 to 9: 3 is not converted, 4 fails; 0, 1, 2, 5, 6 make the five
    // readings of --count; 7, 8, 9 come after it.
    rig.feed(10);
    rig.finish();

    const OutputPump& pump = rig.pump;
    EXPECT_TRUE(pump.countReached());
    EXPECT_FALSE(pump.failed());
    EXPECT_EQ(5u, pump.outputCount());
    EXPECT_EQ(2u, pump.notConvertedCount());
    EXPECT_EQ(3u, pump.afterCountCount());
    EXPECT_EQ(5u, rig.counts.snapshot()[1]);
    // Each reading with its buffer's arrival.
    std::string expected = csvHeader();
    for (int n : {0, 1, 2, 5, 6})
        expected += "phone,100" + std::to_string(n) +
                    ".000000,2014-03-02T10:15:30.250,1,,,,,,,,,,," + std::to_string(n) + ",,,,,\n";
    EXPECT_EQ(expected, contentsOf(out));
    std::fclose(out);
}

// Far more text than one block, in batches of every size: every line whole, in the
// order of the buffers.
TEST(OutputPump, ManyReadingsAreWrittenInBlocksInOrder) {
    constexpr int COUNT = 6000;
    std::FILE* out = std::tmpfile();
    ASSERT_NE(nullptr, out);
    PumpRig rig(64, Format::Json, out, "the test file");
    rig.feed(COUNT);
    rig.finish();

    EXPECT_EQ(static_cast<std::uint64_t>(COUNT - 2), rig.pump.outputCount());
    EXPECT_EQ(static_cast<std::uint64_t>(COUNT - 2), rig.counts.snapshot()[1]);
    std::string expected;
    for (int n = 0; n < COUNT; ++n) {
        if (n != 3 && n != 4)
            expected += jsonLine(readingOf("phone", n));
    }
    ASSERT_GT(expected.size(), 1000000u) << "many blocks";
    EXPECT_TRUE(expected == contentsOf(out)) << "the file differs from the lines expected";
    std::fclose(out);
}

TEST(OutputPump, AWriteFailureIsReportedAndTheQueueStillDrains) {
    // A stream opened for reading only: every write fails.
    std::FILE* readOnly = std::fopen("/dev/null", "r");
    ASSERT_NE(nullptr, readOnly);
    PumpRig rig(2, Format::Json, readOnly, "standard output");
    // More buffers than the queue holds: the pump must keep taking them after the
    // failure, or the writer would wait for ever.
    rig.feed(20, 3);
    rig.finish();
    EXPECT_TRUE(rig.pump.failed());
    EXPECT_EQ(0u, rig.pump.failure().find("cannot write to standard output: "))
        << rig.pump.failure();
    std::fclose(readOnly);
}

// Readings of two phones, interleaved: each line carries its phone, each phone is
// counted on its own, a buffer of no phone of the run is counted as not converted,
// and the publisher gets every reading's JSON object, the line without its end,
// with its phone, whatever the local format.
TEST(OutputPump, KeepsThePhonesApartAndPublishesEveryReading) {
    for (const Format format : {Format::Json, Format::Csv}) {
        std::FILE* out = std::tmpfile();
        ASSERT_NE(nullptr, out);
        RecordingPublisher publisher;
        PumpRig rig(8, format, out, "the test file", std::nullopt, {"left", "right"}, &publisher);
        rig.feed(3, 0, 0); // left 0, 1, 2
        rig.feed(6, 0, 1); // right 0 to 5: 3 is not converted, 4 fails
        rig.feed(2, 0, 7); // no such phone
        rig.feed(2, 0, 0); // left 0, 1 again
        rig.finish();

        const OutputPump& pump = rig.pump;
        EXPECT_EQ(5u, pump.outputCount(0));
        EXPECT_EQ(4u, pump.outputCount(1));
        EXPECT_EQ(0u, pump.notConvertedCount(0));
        EXPECT_EQ(2u, pump.notConvertedCount(1));
        EXPECT_EQ(4u, pump.notConvertedCount()) << "with the 2 of no phone";
        const auto perPhone = rig.counts.perPhone();
        ASSERT_EQ(2u, perPhone.size());
        EXPECT_EQ(5u, perPhone[0][1]);
        EXPECT_EQ(4u, perPhone[1][1]);

        std::vector<std::pair<std::size_t, SampleRecord>> readings;
        for (const int n : {0, 1, 2})
            readings.emplace_back(0, readingOf("left", n));
        for (const int n : {0, 1, 2, 5})
            readings.emplace_back(1, readingOf("right", n));
        for (const int n : {0, 1})
            readings.emplace_back(0, readingOf("left", n));
        std::string expected = format == Format::Csv ? csvHeader() : "";
        ASSERT_EQ(readings.size(), publisher.posted.size());
        for (std::size_t i = 0; i < readings.size(); ++i) {
            const auto& [phone, record] = readings[i];
            expected += format == Format::Csv ? csvLine(record) : jsonLine(record);
            const std::string line = jsonLine(record);
            EXPECT_EQ(phone, publisher.posted[i].phone) << i;
            EXPECT_EQ(1, publisher.posted[i].measurement) << i;
            EXPECT_EQ(line.substr(0, line.size() - 1), publisher.posted[i].payload) << i;
        }
        EXPECT_EQ(expected, contentsOf(out));
        EXPECT_GE(publisher.batches, 1u);
        std::fclose(out);
    }
}

} // namespace
