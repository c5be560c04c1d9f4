#include "conduit/kit/kit.h"
#include "host/channel.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
namespace kit = conduit::kit::device;

// A buffer that counts its releases, to prove each one is released exactly once.
class CountedBuffer final : public conduit::interfaces::IDataBuffer {
public:
    explicit CountedBuffer(std::atomic<int>& releases) : releases_(releases) {}
    std::size_t getCount() const override { return 1; }
    void destroy() override {
        ++releases_;
        delete this;
    }

private:
    std::atomic<int>& releases_;
};

TEST(Channel, QueuesBuffersInOrderAndReleasesThemOnce) {
    std::atomic<int> releases{0};
    {
        korvex::host::Channel channel;
        auto* first = new CountedBuffer(releases);
        auto* second = new CountedBuffer(releases);
        EXPECT_TRUE(channel.getInputStream()->write(first));
        EXPECT_TRUE(channel.getInputStream()->write(second));
        EXPECT_EQ(2u, channel.getInputStream()->getQueuedCount());
        auto taken = channel.takeBuffer();
        EXPECT_EQ(first, taken.get());
        taken.reset();
        EXPECT_EQ(1, releases);
    } // the queued second buffer goes with the channel
    EXPECT_EQ(2, releases);
}

TEST(Channel, RefusedBuffersAreReleasedByTheChannel) {
    std::atomic<int> releases{0};
    korvex::host::Channel channel;
    channel.setAcceptWrites(false);
    EXPECT_FALSE(channel.getInputStream()->write(new CountedBuffer(releases)));
    EXPECT_EQ(1, releases);
    channel.setAcceptWrites(true);
    channel.setCapacity(1);
    EXPECT_TRUE(channel.getInputStream()->write(new CountedBuffer(releases)));
    EXPECT_FALSE(channel.getInputStream()->write(new CountedBuffer(releases)));
    EXPECT_EQ(2, releases);
    EXPECT_EQ(3u, channel.writeCount());
    EXPECT_EQ(1u, channel.acceptedCount());
    EXPECT_EQ(2u, channel.refusedCount());
}

TEST(Channel, KeepsMessagesAndPropertyValuesInOrder) {
    korvex::host::Channel channel;
    channel.postMessage(new kit::ErrorInfo("KORVEX:x:y", "Text."));
    channel.postMessage(new kit::WarningInfo("KORVEX:x:z", "Other."));
    channel.postPropertyValue(new kit::TScalarProperty<double>("PortNumber", 50000));
    channel.postPropertyValue(new kit::TScalarProperty<double>("PortNumber", 0));
    const auto messages = channel.messages();
    ASSERT_EQ(2u, messages.size());
    EXPECT_EQ("error", messages[0].type);
    EXPECT_EQ("KORVEX:x:y", messages[0].id);
    EXPECT_EQ("Text.", messages[0].text);
    EXPECT_EQ("warning", messages[1].type);
    const auto ports = channel.properties("PortNumber");
    ASSERT_EQ(2u, ports.size());
    EXPECT_EQ(0.0, dynamic_cast<kit::TScalarProperty<double>&>(*ports[1]).value);
}

TEST(Channel, HandsOutWhatCameAfterTheRecordsAHostHasSeen) {
    korvex::host::Channel channel;
    channel.postMessage(new kit::ErrorInfo("KORVEX:x:one", "One."));
    channel.postPropertyValue(new kit::TScalarProperty<double>("PortNumber", 1));
    EXPECT_EQ(1u, channel.messagesFrom(0).size());
    EXPECT_TRUE(channel.messagesFrom(1).empty());
    EXPECT_TRUE(channel.messagesFrom(7).empty()) << "a place past the end is the end";
    channel.postMessage(new kit::WarningInfo("KORVEX:x:two", "Two."));
    channel.postPropertyValue(new kit::TScalarProperty<double>("PortNumber", 2));
    const auto messages = channel.messagesFrom(1);
    ASSERT_EQ(1u, messages.size());
    EXPECT_EQ("KORVEX:x:two", messages[0].id);
    const auto properties = channel.propertiesFrom(1);
    ASSERT_EQ(1u, properties.size());
    EXPECT_EQ(2.0, dynamic_cast<kit::TScalarProperty<double>&>(*properties[0]).value);
}

TEST(Channel, CanKeepOnlyTheLatestValueOfEachProperty) {
    korvex::host::Channel channel;
    channel.setKeepLatestPropertyValuesOnly(true);
    for (int frame = 0; frame < 100; ++frame) {
        channel.postPropertyValue(new kit::TScalarProperty<double>("TimeStamp", frame));
        channel.postPropertyValue(new kit::TScalarProperty<double>("Framerate", 30));
    }
    const auto all = channel.properties();
    ASSERT_EQ(2u, all.size());
    EXPECT_EQ(99.0, dynamic_cast<kit::TScalarProperty<double>&>(*all[0]).value);
    EXPECT_STREQ("Framerate", all[1]->getName());
}

TEST(Channel, WaitsForWritesFromOtherThreads) {
    std::atomic<int> releases{0};
    korvex::host::Channel channel;
    std::vector<std::thread> writers;
    for (int w = 0; w < 4; ++w) {
        writers.emplace_back([&] {
            for (int i = 0; i < 250; ++i)
                channel.getInputStream()->write(new CountedBuffer(releases));
            channel.postMessage(new kit::WarningInfo("KORVEX:x:done", "Done."));
        });
    }
    EXPECT_TRUE(channel.waitForBuffers(1000, 10s));
    EXPECT_TRUE(channel.waitForMessages(4, 10s));
    for (auto& writer : writers)
        writer.join();
    EXPECT_EQ(1000u, channel.takeAllBuffers().size());
    EXPECT_EQ(1000, releases);
    EXPECT_EQ(nullptr, channel.takeBuffer(10ms)); // times out when nothing comes
}

TEST(Channel, BufferHandlerReceivesOwnership) {
    std::atomic<int> releases{0};
    korvex::host::Channel channel;
    int handled = 0;
    channel.setBufferHandler([&](korvex::host::BufferPtr buffer) {
        ++handled;
        return buffer != nullptr;
    });
    EXPECT_TRUE(channel.getInputStream()->write(new CountedBuffer(releases)));
    EXPECT_EQ(1, handled);
    EXPECT_EQ(1, releases);
    EXPECT_EQ(0u, channel.getInputStream()->getQueuedCount());
}

TEST(Channel, PropertyHandlerSeesEachValueAfterItIsRecorded) {
    korvex::host::Channel channel;
    channel.setKeepLatestPropertyValuesOnly(true);
    std::vector<double> seen;
    channel.setPropertyHandler([&](const korvex::host::PropertyPtr& property) {
        // The value is already the channel's latest when the handler runs.
        EXPECT_EQ(property, channel.properties(property->getName()).back());
        seen.push_back(dynamic_cast<kit::TScalarProperty<double>&>(*property).value);
    });
    for (int frame = 0; frame < 3; ++frame)
        channel.postPropertyValue(new kit::TScalarProperty<double>("TimeStamp", frame));
    EXPECT_EQ((std::vector<double>{0, 1, 2}), seen);
    EXPECT_EQ(1u, channel.properties().size());
}

TEST(KitChannelCalls, PushBufferReportsTheChannelsAnswer) {
    std::atomic<int> releases{0};
    korvex::host::Channel channel;
    EXPECT_TRUE(kit::pushBuffer(channel, new CountedBuffer(releases)));
    channel.setAcceptWrites(false);
    EXPECT_FALSE(kit::pushBuffer(channel, new CountedBuffer(releases)));
    EXPECT_EQ(1, releases);
}

} // namespace
