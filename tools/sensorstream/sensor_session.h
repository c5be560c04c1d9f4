#pragma once

// The host's side of one phone's sensor device, as the host wires it: the device
// plug-in and the converter loaded by name, a channel whose buffers go into the
// reading queue marked with the phone, and the device driven through init, open,
// close and term. Property values are shown through the converter, as the host
// shows them to its user.

#include "host/channel.h"
#include "host/plugin_loader.h"
#include "host/property_list.h"
#include "phone_spec.h"
#include "reading_queue.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sensorstream {

class SensorSession {
public:
    // Loads the phone's app's device plug-in and kineconvert, creates the converter
    // and the device, and initialises it with the phone's port and the bind address
    // ("" for every address). Every buffer the device writes goes into queue with
    // phoneIndex. Throws std::runtime_error with the device's message when init
    // reports an error.
    SensorSession(const PhoneSpec& phone, std::uint16_t phoneIndex, const std::string& bind,
                  ReadingQueue& queue);
    ~SensorSession(); // closes the device if open, then terms it

    SensorSession(const SensorSession&) = delete;
    SensorSession& operator=(const SensorSession&) = delete;

    // Starts listening and returns the port the device posted. Throws
    // std::runtime_error with the device's messages when it bound none.
    std::uint16_t open();
    // Stops listening; no buffer is written after it returns. The queue stays open:
    // it is the run's, shared by every phone.
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

// "KORVEX:kinedgram:invalidPort: Port number must be less than 65536." or the
// text alone when the identifier is empty; "(no identifier and no text)" for none.
std::string messageText(const korvex::host::Message& message);

} // namespace sensorstream
