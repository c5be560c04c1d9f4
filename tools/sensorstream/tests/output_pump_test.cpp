#include "file_contents.h"
#include "sample_structures.h"
#include "tools/sensorstream/output_pump.h"

#include <atomic>
#include <cstdio>
#include <gtest/gtest.h>
#include <new>
#include <string>

namespace {

using namespace sensorstream;
using namespace std::chrono_literals;
using korvex::host::BufferPtr;
using sensorstream::testing::MARCH_2_2014;
using sensorstream::testing::contentsOf;

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

TEST(OutputPump, AccountsForEveryBuffer) {
    std::FILE* out = std::tmpfile();
    ASSERT_NE(nullptr, out);
    ReadingQueue queue(4);
    ScriptedConverter converter;
    Console console(stderr, false, false, false);
    ReadingCounts counts;
    const auto format = makeRecordFormat(Format::Csv);
    PumpSettings settings;
    settings.output = out;
    settings.format = format.get();
    settings.count = 5;
    settings.outputName = "the test file";
    OutputPump pump(queue, converter, console, counts, settings);
    pump.start();
    // Buffers 0 to 9: 3 is not converted, 4 fails; 0, 1, 2, 5, 6 make the five
    // readings of --count; 7, 8, 9 come after it.
    for (int n = 0; n < 10; ++n)
        ASSERT_TRUE(queue.push(BufferPtr(new NumberedBuffer(n))));
    queue.close();
    pump.join();

    EXPECT_TRUE(pump.countReached());
    EXPECT_FALSE(pump.failed());
    EXPECT_EQ(5u, pump.outputCount());
    EXPECT_EQ(2u, pump.notConvertedCount());
    EXPECT_EQ(3u, pump.afterCountCount());
    EXPECT_EQ(5u, counts.snapshot()[1]);
    std::string expected = csvHeader();
    for (int n : {0, 1, 2, 5, 6})
        expected += "2014-03-02T10:15:30.250,1,,,,,,,,,,," + std::to_string(n) + ",,,,,\n";
    EXPECT_EQ(expected, contentsOf(out));
    std::fclose(out);
}

TEST(OutputPump, AWriteFailureIsReportedAndTheQueueStillDrains) {
    // A stream opened for reading only: every write fails.
    std::FILE* readOnly = std::fopen("/dev/null", "r");
    ASSERT_NE(nullptr, readOnly);
    ReadingQueue queue(2);
    ScriptedConverter converter;
    Console console(stderr, false, false, false);
    ReadingCounts counts;
    const auto format = makeRecordFormat(Format::Json);
    PumpSettings settings;
    settings.output = readOnly;
    settings.format = format.get();
    settings.outputName = "standard output";
    OutputPump pump(queue, converter, console, counts, settings);
    pump.start();
    // More buffers than the queue holds: the pump must keep taking them after the
    // failure, or the writer would wait for ever.
    for (int n = 0; n < 20; ++n)
        ASSERT_TRUE(queue.push(BufferPtr(new NumberedBuffer(n % 3))));
    queue.close();
    pump.join();
    EXPECT_TRUE(pump.failed());
    EXPECT_EQ(0u, pump.failure().find("cannot write to standard output: ")) << pump.failure();
    std::fclose(readOnly);
}

} // namespace
