#include "sensor_session.h"

#include "tools/arrivals/monotonic_clock.h"
#include "tools/common/host_value.h"

#include <stdexcept>

namespace sensorstream {

using korvex::host::PluginLibrary;
using korvex::host::pluginPath;

std::string messageText(const korvex::host::Message& message) {
    if (message.id.empty() && message.text.empty())
        return "(no identifier and no text)";
    if (message.id.empty())
        return message.text;
    return message.id + ": " + message.text;
}

namespace {

// The errors among messages, as one text; empty when there are none.
std::string errorsOf(const std::vector<korvex::host::Message>& messages) {
    std::string text;
    for (const auto& message : messages) {
        if (message.type == "error")
            text += (text.empty() ? "" : "; ") + messageText(message);
    }
    return text;
}

} // namespace

SensorSession::SensorSession(const PhoneSpec& phone, std::uint16_t phoneIndex,
                             const std::string& bind, ReadingQueue& queue)
    : deviceLibrary(pluginPath(devicePluginName(phone.app))),
      converterLibrary(pluginPath("kineconvert")), channel(deviceLibrary.name()),
      converter(converterLibrary.createConverter()) {
    // Every buffer goes from the device's thread straight into the queue, marked with
    // its phone; a full queue holds the device's thread until the output thread makes
    // room.
    channel.setBufferHandler([&queue, phoneIndex](korvex::host::BufferPtr buffer) {
        return queue.push(PhoneBuffer{std::move(buffer), phoneIndex, arrivals::monotonicNow()});
    });
    device = deviceLibrary.createDevice(channel);

    korvex::host::Options options;
    options.set("PortNumber", static_cast<double>(phone.port));
    options.set("IPAddress", bind);
    device->init(options, published.list());
    const std::string errors = errorsOf(newMessages());
    if (!errors.empty())
        throw std::runtime_error(deviceName() + " refused its options: " + errors);

    if (auto* list = published.find("AvailableInterfaces")) {
        kxtools::HostArray cells(converter->convertProperty(list));
        if (auto texts = kxtools::hostCellTexts(cells.get()))
            availableInterfaces = std::move(*texts);
    }
}

SensorSession::~SensorSession() {
    try {
        close();
    } catch (...) {
        // Nothing more to do: the device is terminated below all the same.
    }
    device.reset();
}

std::uint16_t SensorSession::open() {
    channel.setOpen(true);
    device->open(korvex::host::Options());
    opened = true;
    // open posts the port it bound (0 when none) before it returns.
    std::optional<double> port;
    for (const auto& property : channel.properties("PortNumber"))
        port = valueNumber(property.get());
    if (!port || *port < 1.0 || *port > 65535.0) {
        std::string errors;
        for (const auto& message : channel.messages()) {
            if (message.type == "error")
                errors += (errors.empty() ? "" : "; ") + messageText(message);
        }
        throw std::runtime_error(deviceName() + " could not listen" +
                                 (errors.empty() ? std::string() : ": " + errors));
    }
    return static_cast<std::uint16_t>(*port);
}

void SensorSession::close() {
    if (opened) {
        opened = false;
        device->close();
        channel.setOpen(false);
    }
}

std::vector<korvex::host::Message> SensorSession::newMessages() {
    auto all = channel.messages();
    std::vector<korvex::host::Message> fresh(
        all.begin() + static_cast<std::ptrdiff_t>(std::min(messagesSeen, all.size())), all.end());
    messagesSeen = all.size();
    return fresh;
}

std::vector<korvex::host::PropertyPtr> SensorSession::newProperties() {
    auto all = channel.properties();
    std::vector<korvex::host::PropertyPtr> fresh(
        all.begin() + static_cast<std::ptrdiff_t>(std::min(propertiesSeen, all.size())), all.end());
    propertiesSeen = all.size();
    return fresh;
}

std::string SensorSession::valueText(conduit::interfaces::IPropertyInfo* property) {
    kxtools::HostArray value(converter->convertProperty(property));
    return kxtools::hostValueText(value.get());
}

std::optional<double> SensorSession::valueNumber(conduit::interfaces::IPropertyInfo* property) {
    kxtools::HostArray value(converter->convertProperty(property));
    auto numbers = kxtools::hostNumbers(value.get());
    if (!numbers || numbers->size() != 1)
        return std::nullopt;
    return numbers->front();
}

} // namespace sensorstream
