#include "device_contract.h"

#include "failures.h"
#include "host/channel.h"
#include "host/plugin_loader.h"

#include <chrono>
#include <thread>

namespace korvex::host::contract {
namespace {

using namespace std::chrono_literals;

// Everything one test needs; the library outlives the channel, which outlives the device.
struct Bench {
    explicit Bench(const DeviceCase& c) : library(pluginPath(c.plugin)) {}
    PluginLibrary library;
    Channel channel;
};

// The text a device posts for a failure of that kind.
std::string runtimeErrorText(const DeviceCase& device, const ThrownFailure& failure) {
    switch (failure.kind) {
    case conduit::kit::Failure::OUT_OF_MEMORY:
        return device.outOfMemoryText;
    case conduit::kit::Failure::EXCEPTION:
        return device.exceptionText.empty() ? failure.what : device.exceptionText;
    case conduit::kit::Failure::UNKNOWN:
        break;
    }
    return device.unknownText;
}

TEST_P(DeviceContract, ExportsVersionAndBuildDate) {
    Bench bench(GetParam());
    EXPECT_NE(std::string::npos, bench.library.version().find('.'));
    EXPECT_FALSE(bench.library.buildDate().empty());
}

TEST_P(DeviceContract, DataSourceIsTheSameObjectAndThereIsNoSink) {
    Bench bench(GetParam());
    auto device = bench.library.createDevice(bench.channel);
    auto* source = device->getDataSource();
    ASSERT_NE(nullptr, source);
    EXPECT_EQ(dynamic_cast<void*>(device.get()), dynamic_cast<void*>(source));
    EXPECT_EQ(nullptr, device->getDataSink());
    EXPECT_FALSE(source->isSourceDone());
    EXPECT_EQ(0, source->getSourcePolling());
}

TEST_P(DeviceContract, OpenAndCloseBeforeInitDoNothing) {
    Bench bench(GetParam());
    auto device = bench.library.createDevice(bench.channel);
    device->open(Options());
    device->close();
    EXPECT_EQ(0u, bench.channel.writeCount());
    device.reset();
}

TEST_P(DeviceContract, InitOpenCloseTwiceThenTerm) {
    Bench bench(GetParam());
    auto device = bench.library.createDevice(bench.channel);
    Options options;
    GetParam().acceptedOptions(options);
    PropertyListOwner published;
    device->init(options, published.list());
    EXPECT_GT(published.size(), 0u);
    for (int cycle = 0; cycle < 2; ++cycle) {
        device->open(Options());
        device->close();
        // No data is pushed after close returns.
        const auto writes = bench.channel.writeCount();
        std::this_thread::sleep_for(50ms);
        EXPECT_EQ(writes, bench.channel.writeCount());
    }
    device.reset();
    published.clear();
    bench.channel.takeAllBuffers();
    bench.channel.clearRecords();
}

TEST_P(DeviceContract, ExecuteHasNoEffect) {
    Bench bench(GetParam());
    auto device = bench.library.createDevice(bench.channel);
    Options options;
    GetParam().acceptedOptions(options);
    PropertyListOwner published;
    device->init(options, published.list());
    bench.channel.clearRecords();
    Options arguments;
    arguments.set("PortNumber", 1.0);
    device->execute("start", arguments);
    device->execute("", Options());
    EXPECT_TRUE(bench.channel.messages().empty());
    EXPECT_TRUE(bench.channel.properties().empty());
    EXPECT_EQ(0u, bench.channel.writeCount());
    device.reset();
    published.clear();
}

// What an operation throws stays in the plug-in: init returns normally, and the
// device posts its runtime error with the text it gives each kind of failure.
TEST_P(DeviceContract, AnOptionThatThrowsIsReportedNotThrown) {
    const DeviceCase& device = GetParam();
    for (const ThrownFailure& failure : everyKindOfFailure()) {
        SCOPED_TRACE(failure.label);
        Bench bench(device);
        auto made = bench.library.createDevice(bench.channel);
        Options options;
        options.add(new UnreadableOption(failure.raise));
        PropertyListOwner published;
        EXPECT_NO_THROW(made->init(options, published.list()));
        const auto messages = bench.channel.messages();
        ASSERT_EQ(1u, messages.size());
        EXPECT_EQ("error", messages[0].type);
        EXPECT_EQ("KORVEX:" + device.plugin + ":runtimeError", messages[0].id);
        EXPECT_EQ(runtimeErrorText(device, failure), messages[0].text);
        made.reset();
    }
}

TEST_P(DeviceContract, RejectedOptionsPublishNothing) {
    if (!GetParam().rejectedOptions)
        GTEST_SKIP() << "this device rejects no option";
    Bench bench(GetParam());
    auto device = bench.library.createDevice(bench.channel);
    Options options;
    GetParam().rejectedOptions(options);
    PropertyListOwner published;
    device->init(options, published.list());
    EXPECT_EQ(0u, published.size());
    const auto messages = bench.channel.messages();
    ASSERT_EQ(1u, messages.size());
    EXPECT_EQ("error", messages[0].type);
    EXPECT_EQ(0u, messages[0].id.rfind("KORVEX:", 0)) << messages[0].id;
    device.reset();
}

} // namespace
} // namespace korvex::host::contract
