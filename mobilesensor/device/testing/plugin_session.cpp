#include "plugin_session.h"

#include <gtest/gtest.h>
#include <thread>

namespace mobilesensor::testing {

using korvex::host::scalarValue;

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

PluginSession::PluginSession(const std::string& plugin)
    : library(korvex::host::pluginPath(plugin)), device(library.createDevice(channel)) {}

PluginSession::~PluginSession() {
    device.reset();
    published.clear();
    channel.takeAllBuffers();
    channel.clearRecords();
}

void PluginSession::init(const korvex::host::Options& options) {
    device->init(options, published.list());
}

void PluginSession::initWithPort(double port) {
    korvex::host::Options options;
    options.set("PortNumber", port);
    init(options);
}

std::uint16_t PluginSession::open() {
    const std::size_t before = portPosts().size();
    device->open(korvex::host::Options());
    const std::vector<double> posts = portPosts();
    // open posts the port before it returns.
    if (posts.size() != before + 1) {
        ADD_FAILURE() << "open posted " << posts.size() - before << " port values";
        return 0;
    }
    return static_cast<std::uint16_t>(posts.back());
}

void PluginSession::close() { device->close(); }

std::vector<double> PluginSession::portPosts() const {
    std::vector<double> values;
    for (const auto& property : channel.properties("PortNumber"))
        values.push_back(scalarValue<double>(property.get()).value_or(-1.0));
    return values;
}

std::vector<std::string> PluginSession::addressPosts() const {
    std::vector<std::string> values;
    for (const auto& property : channel.properties("IPAddress"))
        values.push_back(scalarValue<std::string>(property.get()).value_or("<not a string>"));
    return values;
}

std::vector<korvex::host::BufferPtr> PluginSession::collectUntil(
    const std::function<bool(const conduit::interfaces::IDataBuffer&)>& isMarker) {
    std::vector<korvex::host::BufferPtr> before;
    const auto deadline = std::chrono::steady_clock::now() + WAIT;
    while (std::chrono::steady_clock::now() < deadline) {
        korvex::host::BufferPtr buffer = channel.takeBuffer(std::chrono::milliseconds(100));
        if (!buffer)
            continue;
        if (isMarker(*buffer))
            return before;
        before.push_back(std::move(buffer));
    }
    ADD_FAILURE() << "the marker datagram did not arrive";
    return before;
}

} // namespace mobilesensor::testing
