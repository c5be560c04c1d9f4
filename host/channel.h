#pragma once

#include "conduit/interfaces/channel.h"
#include "conduit/kit/release.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// The stand-in host's channel: what a device pushes into and posts to. Safe to
// call from any thread. It queues written buffers, keeps every posted property
// value and message, and lets the host wait for them with a timeout.

namespace korvex::host {

using BufferPtr = std::unique_ptr<conduit::interfaces::IDataBuffer, conduit::kit::Releaser>;
using PropertyPtr = std::shared_ptr<conduit::interfaces::IPropertyInfo>;

struct Message {
    std::string type;
    std::string id;
    std::string text;
};

class Channel final : public conduit::interfaces::channel::IControl,
                      private conduit::interfaces::channel::IInputStream {
public:
    using Clock = std::chrono::steady_clock;

    explicit Channel(std::string channelName = "channel");
    ~Channel() override;
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;

    // conduit::interfaces::channel::IControl
    void postMessage(conduit::interfaces::IMessageInfo* message) override;
    void postPropertyValue(conduit::interfaces::IPropertyInfo* property) override;
    const char* getName() const override;
    bool isOpen() const override;
    conduit::interfaces::channel::IInputStream* getInputStream() override;

    // Host side.
    void setOpen(bool open);
    // When false, write() refuses (and releases) every buffer.
    void setAcceptWrites(bool accept);
    // Refuse buffers while this many are queued (0: no limit).
    void setCapacity(std::size_t maxQueued);
    // Keep only the latest value of each property name (a long run posts one per
    // frame or datagram); by default every posted value is kept.
    void setKeepLatestPropertyValuesOnly(bool latestOnly);
    // Called on the writer's thread for each accepted buffer instead of queueing it;
    // the handler takes ownership and answers what write() returns.
    void setBufferHandler(std::function<bool(BufferPtr)> handler);
    // Called on the poster's thread with each posted property value, after the
    // channel has recorded it (a frame's "TimeStamp" follows the frame at once).
    void setPropertyHandler(std::function<void(const PropertyPtr&)> handler);

    // The oldest queued buffer, waiting up to timeout for one; null when none came.
    BufferPtr takeBuffer(std::chrono::milliseconds timeout = std::chrono::milliseconds(0));
    // Every queued buffer, oldest first.
    std::vector<BufferPtr> takeAllBuffers();
    // Waits until at least count buffers are queued; true when they are.
    bool waitForBuffers(std::size_t count, std::chrono::milliseconds timeout);

    std::vector<Message> messages() const;
    // The messages after the first `first`, for a host that keeps its place.
    std::vector<Message> messagesFrom(std::size_t first) const;
    bool waitForMessages(std::size_t count, std::chrono::milliseconds timeout);
    // Posted property values in posting order.
    std::vector<PropertyPtr> properties() const;
    std::vector<PropertyPtr> properties(const std::string& name) const;
    // The property values after the first `first`.
    std::vector<PropertyPtr> propertiesFrom(std::size_t first) const;
    bool waitForProperties(const std::string& name, std::size_t count,
                           std::chrono::milliseconds timeout);

    std::uint64_t writeCount() const;    // calls of write()
    std::uint64_t acceptedCount() const; // buffers accepted
    std::uint64_t refusedCount() const;  // buffers refused (and released here)

    // Forgets recorded messages and property values (buffers stay queued).
    void clearRecords();

private:
    // conduit::interfaces::channel::IInputStream
    std::uint64_t getQueuedCount() const override;
    bool write(conduit::interfaces::IDataBuffer* buffer) override;

    template <class Predicate> bool waitUntil(std::chrono::milliseconds timeout, Predicate ready);

    const std::string name_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool open_ = false;
    bool acceptWrites_ = true;
    std::size_t capacity_ = 0;
    bool latestPropertyValuesOnly_ = false;
    std::function<bool(BufferPtr)> bufferHandler_;
    std::function<void(const PropertyPtr&)> propertyHandler_;
    std::deque<BufferPtr> buffers_;
    std::vector<Message> messages_;
    std::vector<PropertyPtr> properties_;
    std::uint64_t writes_ = 0;
    std::uint64_t accepted_ = 0;
    std::uint64_t refused_ = 0;
};

} // namespace korvex::host
