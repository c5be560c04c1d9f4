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

// A pump over a queue of `capacity` buffers and the scripted converter, writing one
// format to `output`. feed() pushes numbered buffers, closes the queue and joins.
struct PumpRig {
    PumpRig(std::size_t capacity, Format outputFormat, std::FILE* output, const char* name,
            std::optional<std::uint64_t> count = std::nullopt)
        : queue(limits(capacity)), format(makeRecordFormat(outputFormat)),
          pump(queue, converter, console, counts, settings(output, name, count)) {
        pump.start();
    }

    void feed(int buffers, int modulo = 0) {
        for (int n = 0; n < buffers; ++n)
            ASSERT_TRUE(queue.push(BufferPtr(new NumberedBuffer(modulo != 0 ? n % modulo : n))));
        queue.close();
        pump.join();
    }

    static korvex::host::BatchLimits limits(std::size_t capacity) {
        korvex::host::BatchLimits queueLimits = readingQueueLimits();
        queueLimits.capacity = capacity;
        return queueLimits;
    }
    PumpSettings settings(std::FILE* output, const char* name,
                          std::optional<std::uint64_t> count) const {
        PumpSettings result;
        result.output = output;
        result.format = format.get();
        result.count = count;
        result.outputName = name;
        return result;
    }

    ReadingQueue queue;
    ScriptedConverter converter;
    Console console{stderr, false, false, false};
    ReadingCounts counts;
    std::unique_ptr<RecordFormat> format;
    OutputPump pump;
};

TEST(OutputPump, AccountsForEveryBuffer) {
    std::FILE* out = std::tmpfile();
    ASSERT_NE(nullptr, out);
    PumpRig rig(4, Format::Csv, out, "the test file", 5);
    // Buffers 0 to 9: 3 is not converted, 4 fails; 0, 1, 2, 5, 6 make the five
    // readings of --count; 7, 8, 9 come after it.
    rig.feed(10);

    const OutputPump& pump = rig.pump;
    EXPECT_TRUE(pump.countReached());
    EXPECT_FALSE(pump.failed());
    EXPECT_EQ(5u, pump.outputCount());
    EXPECT_EQ(2u, pump.notConvertedCount());
    EXPECT_EQ(3u, pump.afterCountCount());
    EXPECT_EQ(5u, rig.counts.snapshot()[1]);
    std::string expected = csvHeader();
    for (int n : {0, 1, 2, 5, 6})
        expected += "2014-03-02T10:15:30.250,1,,,,,,,,,,," + std::to_string(n) + ",,,,,\n";
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

    EXPECT_EQ(static_cast<std::uint64_t>(COUNT - 2), rig.pump.outputCount());
    EXPECT_EQ(static_cast<std::uint64_t>(COUNT - 2), rig.counts.snapshot()[1]);
    std::string expected;
    for (int n = 0; n < COUNT; ++n) {
        if (n != 3 && n != 4)
            expected += jsonLine(sensorstream::testing::sampleRecord(1, MARCH_2_2014, {{"X", n}}));
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
    EXPECT_TRUE(rig.pump.failed());
    EXPECT_EQ(0u, rig.pump.failure().find("cannot write to standard output: "))
        << rig.pump.failure();
    std::fclose(readOnly);
}

} // namespace
