#include "host/channel.h"
#include "host/i18n/ustring_conversion.h"
#include "host/plugin_loader.h"
#include "host/property_list.h"
#include "pixsieve/filter.h"
#include "webcam/video_data_buffer.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

// The name table is built once even when the first lookups come from several
// threads at once, and one configured filter may be used from several threads.
// (Run under ThreadSanitizer with the "threads" label.)

namespace {

using webcam::Filter;

TEST(FilterThreads, FirstLookupsFromSeveralThreads) {
    constexpr int THREADS = 4;
    std::vector<int> found(THREADS, -1);
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < THREADS; ++t) {
        threads.emplace_back([&, t] {
            while (!go.load())
                std::this_thread::yield();
            found[static_cast<std::size_t>(t)] =
                Filter::frameTypeFromString(t % 2 ? "YUY2PackedRowBottomUp" : "RGB24PlanarColumn");
        });
    }
    go = true;
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ((std::vector<int>{1, 3, 1, 3}), found);
}

TEST(FilterThreads, OneFilterUsedFromSeveralThreads) {
    korvex::host::PluginLibrary library(korvex::host::pluginPath("pixsieve"));
    korvex::host::Channel channel;
    auto filter = library.createFilter(channel);
    korvex::host::Options options;
    options.set("InputFrameType", korvex::i18n::widen("RGB24PackedRowTopDown"));
    options.set("OutputFrameType", korvex::i18n::widen("RGB24PlanarColumn"));
    filter->init(options);

    constexpr int THREADS = 3, ROUNDS = 50;
    std::vector<int> converted(THREADS, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < THREADS; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < ROUNDS; ++round) {
                auto* data = new std::uint8_t[3 * 20 * 18]();
                auto* frame = new webcam::VideoDataBuffer(data, 3 * 20 * 18, 20, 18, 3);
                conduit::interfaces::IDataBuffer* result = filter->filter(frame);
                if (dynamic_cast<webcam::VideoDataBuffer*>(result) != nullptr)
                    ++converted[static_cast<std::size_t>(t)];
                conduit::kit::release(result);
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(std::vector<int>(THREADS, ROUNDS), converted);
}

} // namespace
