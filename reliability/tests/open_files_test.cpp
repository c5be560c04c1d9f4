#include "host/channel.h"
#include "host/i18n/ustring_conversion.h"
#include "host/plugin_loader.h"
#include "host/property_list.h"
#include "mobilesensor/device/testing/plugin_session.h"
#include "reliability/counts_since.h"
#include "reliability/load_scale.h"
#include "reliability/loopback_sender.h"
#include "reliability/process_usage.h"
#include "reliability/sensor_apps.h"

#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <iostream>
#include <string>
#include <vector>

// No file descriptor (socket, pipe, event, device) and no thread stays behind once
// a loaded device has been terminated: each device runs init, open, data, close and
// term (and term while open) many times, and the process's descriptors and threads
// are counted from /proc before and after.

namespace {

using korvex::host::Options;
using mobilesensor::testing::waitUntil;
using namespace std::chrono_literals;

std::string listing(const std::vector<std::string>& files) {
    std::string text;
    for (const std::string& file : files)
        text += "\n  " + file;
    return text;
}

struct Holdings {
    std::size_t files;
    std::vector<reliability::ThreadInfo> threads; // those that have not begun to exit
    std::vector<std::string> listing;
};

Holdings holdingsNow() {
    return {reliability::openFileCount(), reliability::liveThreads(), reliability::openFiles()};
}

// Runs lifecycle once before counting (libraries may open what they keep for the
// whole process on first use), then once and then many times, and expects the
// process to hold exactly as much afterwards as before.
void expectNothingLeftBehind(const std::function<void(bool closeFirst)>& lifecycle, int cycles,
                             bool countThreads) {
    const Holdings start = holdingsNow();
    lifecycle(true);
    const Holdings warm = holdingsNow();
    if (warm.files != start.files)
        std::cout << "kept for the process after the first use:" << listing(warm.listing)
                  << std::endl;
    lifecycle(true);
    EXPECT_EQ(warm.files, reliability::openFileCount())
        << "before:" << listing(warm.listing) << "\nafter:" << listing(reliability::openFiles());
    for (int i = 0; i < cycles && !testing::Test::HasFailure(); ++i)
        lifecycle(i % 2 == 0);
    EXPECT_EQ(warm.files, reliability::openFileCount())
        << "before:" << listing(warm.listing) << "\nafter:" << listing(reliability::openFiles());
    if (countThreads) {
        const std::vector<reliability::ThreadInfo> threads = reliability::liveThreads();
        EXPECT_EQ(warm.threads.size(), threads.size())
            << "before: " << reliability::describe(warm.threads)
            << "\nafter: " << reliability::describe(threads);
    }
}

class SensorOpenFiles : public testing::TestWithParam<reliability::SensorApp> {};

TEST_P(SensorOpenFiles, NoSocketOrThreadStaysAfterTerm) {
    const reliability::SensorApp& app = GetParam();
    const korvex::host::PluginLibrary library(korvex::host::pluginPath(app.plugin));
    reliability::LoopbackSender sender("127.0.0.1");
    std::uint64_t sequence = 0;
    // For messages: a reading that does not arrive may have been taken for another
    // sender's.
    const mobilesensor::KinelinkCounts counts = mobilesensor::getKinelinkCounts();

    const auto lifecycle = [&](bool closeFirst) {
        korvex::host::Channel channel;
        korvex::host::PropertyListOwner published;
        korvex::host::DevicePtr device = library.createDevice(channel);
        device->init(Options(), published.list());
        for (int open = 0; open < 2; ++open) {
            device->open(Options());
            const auto port = static_cast<std::uint16_t>(
                korvex::host::scalarValue<double>(channel.properties("PortNumber").back().get())
                    .value_or(0.0));
            ASSERT_NE(0, port);
            std::uint8_t bytes[reliability::MAX_TEST_DATAGRAM];
            const std::size_t size = app.writeReading(reliability::Tag{1, sequence++, 0}, bytes);
            ASSERT_TRUE(sender.send(port, bytes, size));
            ASSERT_TRUE(channel.waitForBuffers(static_cast<std::size_t>(open) + 1, 10s))
                << "port " << port << ": " << reliability::toText(reliability::countsSince(counts));
            if (open == 0 || closeFirst)
                device->close();
        }
        device.reset(); // term, open or closed
        EXPECT_TRUE(channel.messages().empty());
    };
    expectNothingLeftBehind(lifecycle, static_cast<int>(reliability::scaled(50)), true);
}

std::string paramName(const testing::TestParamInfo<reliability::SensorApp>& param) {
    return param.param.name;
}

INSTANTIATE_TEST_SUITE_P(SensorDevices, SensorOpenFiles,
                         testing::Values(reliability::kinedgramApp(), reliability::kinescopeApp()),
                         paramName);

TEST(FramegrabOpenFiles, NoDescriptorStaysAfterTermOnTheTestCamera) {
    const korvex::host::PluginLibrary library(korvex::host::pluginPath("framegrab"));
    const auto lifecycle = [&](bool closeFirst) {
        korvex::host::Channel channel;
        korvex::host::PropertyListOwner published;
        korvex::host::DevicePtr device = library.createDevice(channel);
        Options options;
        options.set("WebcamID", korvex::i18n::widen("videotestsrc"));
        device->init(options, published.list());
        device->open(Options());
        ASSERT_TRUE(channel.waitForBuffers(2, 10s));
        if (closeFirst)
            device->close();
        device.reset();
        EXPECT_TRUE(channel.messages().empty());
    };
    // GStreamer keeps a pool of streaming threads for the process: only the
    // descriptors are counted here.
    expectNothingLeftBehind(lifecycle, static_cast<int>(reliability::scaled(10)), false);
}

} // namespace
