#include "sensor_session.h"

#include "host_value.h"

#include <utility>

namespace kxtools {

using korvex::host::Message;
using korvex::host::PluginLibrary;
using korvex::host::pluginPath;

const char* devicePluginName(SensorApp app) {
    return app == SensorApp::Text ? "kinedgram" : "kinescope";
}

namespace {

// Throws DeviceError "<what>: <every error>" when messages hold an error.
void throwErrors(const std::string& what, const std::vector<Message>& messages) {
    const std::string errors = errorsText(messages);
    if (!errors.empty())
        throw DeviceError(what + ": " + errors, messages);
}

} // namespace

SensorSession::SensorSession(const SensorSettings& settings, BufferHandler handler)
    : deviceLibrary(pluginPath(devicePluginName(settings.app), settings.pluginFolder)),
      converterLibrary(pluginPath("kineconvert", settings.pluginFolder)),
      channel(deviceLibrary.name()), converter(converterLibrary.createConverter()) {
    channel.setBufferHandler(std::move(handler));
    device = deviceLibrary.createDevice(channel);

    korvex::host::Options options;
    options.set("PortNumber", static_cast<double>(settings.port));
    options.set("IPAddress", settings.bind);
    device->init(options, published.list());
    throwErrors(deviceName() + " refused its options", newMessages());

    if (auto* list = published.find("AvailableInterfaces")) {
        HostArray cells(converter->convertProperty(list));
        if (auto texts = hostCellTexts(cells.get()))
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
        const std::string what = deviceName() + " could not listen";
        const auto messages = channel.messages();
        throwErrors(what, messages);
        throw DeviceError(what, messages);
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

std::vector<Message> SensorSession::newMessages() {
    auto fresh = channel.messagesFrom(messagesSeen);
    messagesSeen += fresh.size();
    return fresh;
}

std::vector<korvex::host::PropertyPtr> SensorSession::newProperties() {
    auto fresh = channel.propertiesFrom(propertiesSeen);
    propertiesSeen += fresh.size();
    return fresh;
}

std::string SensorSession::valueText(conduit::interfaces::IPropertyInfo* property) {
    HostArray value(converter->convertProperty(property));
    return hostValueText(value.get());
}

std::optional<double> SensorSession::valueNumber(conduit::interfaces::IPropertyInfo* property) {
    HostArray value(converter->convertProperty(property));
    auto numbers = hostNumbers(value.get());
    if (!numbers || numbers->size() != 1)
        return std::nullopt;
    return numbers->front();
}

} // namespace kxtools
