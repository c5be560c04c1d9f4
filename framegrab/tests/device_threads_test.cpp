#include "conduit/kit/kit.h"
#include "framegrab/device.h"
#include "host/channel.h"
#include "host/i18n/ustring_conversion.h"
#include "host/property_list.h"
#include "webcam/video_data_buffer.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <gtest/gtest.h>
#include <memory>
#include <thread>
#include <vector>

// The device between the host thread and a capture thread, with a controller that
// delivers frames from a thread of its own between open and close, as a camera
// does. Run under ThreadSanitizer, these tests show that init, open and close on
// the host thread do not race with processFrame.

namespace {

using namespace std::chrono_literals;
using framegrab::Device;
using framegrab::PixelBuffer;
using framegrab::Resolution;
using korvex::host::Options;
using korvex::host::PropertyListOwner;

using DevicePtr = std::unique_ptr<Device, conduit::kit::Releaser>;

constexpr std::size_t WIDTH = 8;
constexpr std::size_t HEIGHT = 6;

// The camera clock, shared by every controller of the program as a real clock is:
// milliseconds since the program started capturing.
std::atomic<std::uint64_t> cameraTicks{1000};

class PumpingController final : public framegrab::CaptureController {
public:
    explicit PumpingController(Device& owner) : device_(owner), image(WIDTH * HEIGHT * 4, 0x5a) {}
    ~PumpingController() override { close(); }

    bool open() override {
        if (pump.joinable())
            return true;
        running = true;
        pump = std::thread([this] {
            PixelBuffer view;
            view.baseAddress = image.data();
            view.bytesPerRow = WIDTH * 4;
            view.width = WIDTH;
            view.height = HEIGHT;
            view.dataSize = image.size();
            while (running) {
                device_.processFrame(view, static_cast<double>(cameraTicks++) / 1000.0);
                std::this_thread::yield();
            }
        });
        return true;
    }
    void close() override {
        running = false;
        if (pump.joinable())
            pump.join();
    }
    Resolution getWebcamResolution() override { return Resolution{WIDTH, HEIGHT}; }
    std::string device() const override { return "pump"; }

private:
    Device& device_;
    std::vector<std::uint8_t> image;
    std::atomic<bool> running{false};
    std::thread pump;
};

DevicePtr makeDevice(korvex::host::Channel& channel) {
    return DevicePtr(new Device(channel, [](Device& device, const conduit::kit::ustring&) {
        return std::make_unique<PumpingController>(device);
    }));
}

// Every buffer the channel holds is a whole frame of the announced resolution.
void expectWholeFrames(korvex::host::Channel& channel) {
    for (const auto& buffer : channel.takeAllBuffers()) {
        const auto* frame = dynamic_cast<const webcam::VideoDataBuffer*>(buffer.get());
        ASSERT_NE(nullptr, frame);
        ASSERT_EQ(WIDTH, frame->width);
        ASSERT_EQ(HEIGHT, frame->height);
        ASSERT_EQ(WIDTH * HEIGHT * 4, frame->size);
        ASSERT_EQ(0x5a, frame->data[frame->size - 1]);
    }
}

TEST(DeviceThreads, InitOpenAndCloseWhileFramesArrive) {
    korvex::host::Channel channel;
    auto device = makeDevice(channel);
    for (int round = 0; round < 3; ++round) {
        PropertyListOwner published;
        Options options;
        options.set(Device::WEBCAM_ID, korvex::i18n::widen("pump"));
        // The camera delivers during the probe in init; none of it is pushed.
        const auto before = channel.writeCount();
        device->init(options, published.list());
        EXPECT_EQ(before, channel.writeCount());
        ASSERT_EQ(6u, published.size());
        for (int cycle = 0; cycle < 2; ++cycle) {
            device->open(Options());
            ASSERT_TRUE(channel.waitForBuffers(5, 5s));
            device->close();
            expectWholeFrames(channel);
        }
    }
    // The clock started with the first frame pushed and was never reset.
    const auto stamps = channel.properties(Device::TIMESTAMP);
    ASSERT_FALSE(stamps.empty());
    EXPECT_EQ(0.0, korvex::host::scalarValue<double>(stamps.front().get()));
    EXPECT_GT(korvex::host::scalarValue<double>(stamps.back().get()).value_or(0.0), 0.0);
    EXPECT_TRUE(channel.messages().empty());
}

TEST(DeviceThreads, TermWhileFramesArrive) {
    korvex::host::Channel channel;
    auto device = makeDevice(channel);
    PropertyListOwner published;
    Options options;
    device->init(options, published.list());
    device->open(Options());
    ASSERT_TRUE(channel.waitForBuffers(3, 5s));
    device.reset(); // stops the capture thread before the device goes
    expectWholeFrames(channel);
}

} // namespace
