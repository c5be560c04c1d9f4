#pragma once

// The host's side of one sensor device, as the host wires it: the device plug-in
// of a phone app and the converter loaded by name, a channel whose buffers go to a
// handler of the caller's, and the device driven through init, open, close and
// term. Property values are shown through the converter, as the host shows them to
// its user. The Python module receives readings this way; sensorstream's session
// (tools/sensorstream) is this one with a handler that marks each buffer with its
// phone for the run's shared queue.

#include "host/channel.h"
#include "host/plugin_loader.h"
#include "host/property_list.h"
#include "sensor_app.h"
#include "tools/common/device_error.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kxtools {

struct SensorSettings {
    SensorApp app = SensorApp::Text;
    std::uint16_t port = 0;         // 0: the device searches, 50000 first
    std::string bind = "127.0.0.1"; // empty: every local address
    std::string pluginFolder;       // empty: where the host looks (pluginDirectory)
};

class SensorSession {
public:
    // Called on the device's thread with each buffer it writes; the answer is
    // write's. It must not close or destroy the session.
    using BufferHandler = std::function<bool(korvex::host::BufferPtr)>;

    // Loads the app's device plug-in and kineconvert, creates the converter and the
    // device, and initialises it with the port and bind address. Throws DeviceError
    // "kinedgram refused its options: ..." when init reports an error, and
    // korvex::host::LoadError when a plug-in cannot be loaded.
    SensorSession(const SensorSettings& settings, BufferHandler handler);
    ~SensorSession(); // closes the device if open, then terms it

    SensorSession(const SensorSession&) = delete;
    SensorSession& operator=(const SensorSession&) = delete;

    // Starts listening and returns the port the device posted. Throws DeviceError
    // "kinedgram could not listen: ..." when it bound none.
    std::uint16_t open();
    // Stops listening; no buffer is written after it returns. A handler that waits
    // (a full queue) must be released first, or this waits with it.
    void close();

    // "AvailableInterfaces" as the device published it (empty when it did not).
    const std::vector<std::string>& interfaces() const { return availableInterfaces; }
    const std::string& deviceName() const { return deviceLibrary.name(); }

    // Messages and property values posted since the last call, oldest first.
    std::vector<korvex::host::Message> newMessages();
    std::vector<korvex::host::PropertyPtr> newProperties();

    // A property's value as the converter shows it ("50000", "127.0.0.1").
    std::string valueText(conduit::interfaces::IPropertyInfo* property);
    // A property's value as a number, when the converter makes one.
    std::optional<double> valueNumber(conduit::interfaces::IPropertyInfo* property);

    conduit::interfaces::converter::IConverter& sampleConverter() { return *converter; }
    std::uint64_t buffersWritten() const { return channel.writeCount(); }
    std::uint64_t buffersRefused() const { return channel.refusedCount(); }

private:
    // The libraries outlive every object they made: they are declared first.
    korvex::host::PluginLibrary deviceLibrary;
    korvex::host::PluginLibrary converterLibrary;
    korvex::host::Channel channel;
    korvex::host::PropertyListOwner published;
    korvex::host::ConverterPtr converter;
    korvex::host::DevicePtr device;
    std::vector<std::string> availableInterfaces;
    bool opened = false;
    std::size_t messagesSeen = 0;
    std::size_t propertiesSeen = 0;
};

} // namespace kxtools
