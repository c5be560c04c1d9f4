#include "channel.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace korvex::host {

using conduit::interfaces::IDataBuffer;
using conduit::interfaces::IMessageInfo;
using conduit::interfaces::IPropertyInfo;

Channel::Channel(std::string channelName) : name_(std::move(channelName)) {}

Channel::~Channel() = default;

void Channel::postMessage(IMessageInfo* message) {
    if (message == nullptr)
        return;
    // Copy what the message says, then release it: the host owns it from here.
    Message copy;
    try {
        copy = Message{message->getType(), message->getID(), message->getText()};
    } catch (...) {
        message->destroy();
        throw;
    }
    message->destroy();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        messages_.push_back(std::move(copy));
    }
    changed_.notify_all();
}

void Channel::postPropertyValue(IPropertyInfo* property) {
    if (property == nullptr)
        return;
    PropertyPtr held(property, conduit::kit::Releaser());
    PropertyPtr replaced; // released outside the lock
    std::function<void(const PropertyPtr&)> handler;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        handler = propertyHandler_;
        if (latestPropertyValuesOnly_) {
            for (auto it = properties_.begin(); it != properties_.end(); ++it) {
                if (std::strcmp((*it)->getName(), property->getName()) == 0) {
                    replaced = std::move(*it);
                    properties_.erase(it);
                    break;
                }
            }
        }
        properties_.push_back(held);
    }
    changed_.notify_all();
    if (handler)
        handler(held);
}

const char* Channel::getName() const { return name_.c_str(); }

bool Channel::isOpen() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return open_;
}

conduit::interfaces::channel::IInputStream* Channel::getInputStream() { return this; }

std::uint64_t Channel::getQueuedCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return buffers_.size();
}

bool Channel::write(IDataBuffer* buffer) {
    BufferPtr held(buffer);
    std::function<bool(BufferPtr)> handler;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++writes_;
        const bool full = capacity_ != 0 && buffers_.size() >= capacity_;
        if (held == nullptr || !acceptWrites_ || full) {
            ++refused_;
            return false; // the buffer is released as `held` goes out of scope
        }
        if (!bufferHandler_) {
            buffers_.push_back(std::move(held));
            ++accepted_;
        } else {
            handler = bufferHandler_;
        }
    }
    if (handler) {
        const bool accepted = handler(std::move(held));
        std::lock_guard<std::mutex> lock(mutex_);
        ++(accepted ? accepted_ : refused_);
        return accepted;
    }
    changed_.notify_all();
    return true;
}

void Channel::setOpen(bool open) {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = open;
}

void Channel::setAcceptWrites(bool accept) {
    std::lock_guard<std::mutex> lock(mutex_);
    acceptWrites_ = accept;
}

void Channel::setCapacity(std::size_t maxQueued) {
    std::lock_guard<std::mutex> lock(mutex_);
    capacity_ = maxQueued;
}

void Channel::setKeepLatestPropertyValuesOnly(bool latestOnly) {
    std::lock_guard<std::mutex> lock(mutex_);
    latestPropertyValuesOnly_ = latestOnly;
}

void Channel::setBufferHandler(std::function<bool(BufferPtr)> handler) {
    std::lock_guard<std::mutex> lock(mutex_);
    bufferHandler_ = std::move(handler);
}

void Channel::setPropertyHandler(std::function<void(const PropertyPtr&)> handler) {
    std::lock_guard<std::mutex> lock(mutex_);
    propertyHandler_ = std::move(handler);
}

template <class Predicate>
bool Channel::waitUntil(std::chrono::milliseconds timeout, Predicate ready) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, timeout, ready);
}

BufferPtr Channel::takeBuffer(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!changed_.wait_for(lock, timeout, [this] { return !buffers_.empty(); }))
        return nullptr;
    BufferPtr buffer = std::move(buffers_.front());
    buffers_.pop_front();
    return buffer;
}

std::vector<BufferPtr> Channel::takeAllBuffers() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<BufferPtr> all;
    all.reserve(buffers_.size());
    for (auto& buffer : buffers_)
        all.push_back(std::move(buffer));
    buffers_.clear();
    return all;
}

bool Channel::waitForBuffers(std::size_t count, std::chrono::milliseconds timeout) {
    return waitUntil(timeout, [&] { return buffers_.size() >= count; });
}

std::vector<Message> Channel::messages() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return messages_;
}

std::vector<Message> Channel::messagesFrom(std::size_t first) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return {messages_.begin() + static_cast<std::ptrdiff_t>(std::min(first, messages_.size())),
            messages_.end()};
}

bool Channel::waitForMessages(std::size_t count, std::chrono::milliseconds timeout) {
    return waitUntil(timeout, [&] { return messages_.size() >= count; });
}

std::vector<PropertyPtr> Channel::properties() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return properties_;
}

std::vector<PropertyPtr> Channel::properties(const std::string& name) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<PropertyPtr> named;
    for (const PropertyPtr& property : properties_) {
        if (name == property->getName())
            named.push_back(property);
    }
    return named;
}

std::vector<PropertyPtr> Channel::propertiesFrom(std::size_t first) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return {properties_.begin() + static_cast<std::ptrdiff_t>(std::min(first, properties_.size())),
            properties_.end()};
}

bool Channel::waitForProperties(const std::string& name, std::size_t count,
                                std::chrono::milliseconds timeout) {
    return waitUntil(timeout, [&] {
        std::size_t seen = 0;
        for (const PropertyPtr& property : properties_)
            seen += name == property->getName() ? 1 : 0;
        return seen >= count;
    });
}

std::uint64_t Channel::writeCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return writes_;
}

std::uint64_t Channel::acceptedCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return accepted_;
}

std::uint64_t Channel::refusedCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return refused_;
}

void Channel::clearRecords() {
    std::lock_guard<std::mutex> lock(mutex_);
    messages_.clear();
    properties_.clear();
}

} // namespace korvex::host
