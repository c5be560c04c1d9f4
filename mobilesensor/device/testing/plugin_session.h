#pragma once

#include "host/channel.h"
#include "host/plugin_loader.h"
#include "host/property_list.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// A sensor device plug-in loaded as the host loads it, with its device on the
// stand-in channel. Members are declared so that the device goes first and the
// library last: the library's code releases what it made.

namespace mobilesensor::testing {

constexpr std::chrono::milliseconds WAIT{10000};

// Polls condition until it holds or timeout has passed; true when it holds.
bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = WAIT);

class PluginSession {
public:
    explicit PluginSession(const std::string& plugin);
    ~PluginSession();

    // init with these options; the published list grows.
    void init(const korvex::host::Options& options);
    // init with the "PortNumber" option only.
    void initWithPort(double port);
    // open, then the port it posted ("PortNumber"); 0 when it bound none.
    std::uint16_t open();
    void close();

    // Every value posted for "PortNumber" (doubles) or "IPAddress" (strings).
    std::vector<double> portPosts() const;
    std::vector<std::string> addressPosts() const;

    // Takes buffers until one for which isMarker holds arrives (it is released) and
    // returns those before it. Records a test failure when the marker does not come.
    std::vector<korvex::host::BufferPtr>
    collectUntil(const std::function<bool(const conduit::interfaces::IDataBuffer&)>& isMarker);

    korvex::host::PluginLibrary library;
    korvex::host::Channel channel;
    korvex::host::PropertyListOwner published;
    korvex::host::DevicePtr device;
};

} // namespace mobilesensor::testing
