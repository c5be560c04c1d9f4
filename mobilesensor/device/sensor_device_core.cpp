#include "sensor_device_core.h"

#include "conduit/kit/kit.h"
#include "mobilesensor/ethernet_interfaces.h"
#include "mobilesensor/port_number.h"
#include "mobilesensor/string_vector_property.h"

#include <new>
#include <utility>
#include <vector>

namespace mobilesensor {

namespace kit = conduit::kit::device;
using conduit::interfaces::IPropertyInfo;
using conduit::interfaces::device::PropertyList;

namespace {

constexpr const char* PORT_NUMBER = "PortNumber";
constexpr const char* IP_ADDRESS = "IPAddress";
constexpr const char* AVAILABLE_INTERFACES = "AvailableInterfaces";
constexpr const char* INVALID_PORT_TEXT = "Port number must be less than 65536.";

using PropertyPtr = std::unique_ptr<IPropertyInfo, conduit::kit::Releaser>;

// The adapter list is a hint for the user: a table that cannot be read leaves the
// hint out rather than the whole device unusable.
std::vector<std::string> interfacesOrNone() {
    try {
        return getEthernetInterfaces();
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception&) {
        return {};
    }
}

} // namespace

SensorDeviceCore::SensorDeviceCore(conduit::interfaces::channel::IControl& hostChannel,
                                   std::string component, std::size_t listenerReceiveSize,
                                   Parse parseDatagram)
    : channel(hostChannel), invalidPortId("KORVEX:" + component + ":invalidPort"),
      runtimeError({"KORVEX:" + component + ":runtimeError"}), receiveSize(listenerReceiveSize),
      parse(std::move(parseDatagram)) {}

SensorDeviceCore::~SensorDeviceCore() {
    // The listener's destructor already swallows; nothing is left to report to.
    conduit::kit::guarded([this] { listener.reset(); }, conduit::kit::unreported);
}

template <class Operation> void SensorDeviceCore::guarded(Operation&& operation) noexcept {
    kit::guarded(channel, runtimeError, std::forward<Operation>(operation));
}

void SensorDeviceCore::init(const PropertyList& options, PropertyList& published) noexcept {
    guarded([&] { initialise(options, published); });
}

void SensorDeviceCore::initialise(const PropertyList& options, PropertyList& published) {
    const double requested =
        kit::getScalarOptionValue<double>(options, PORT_NUMBER, static_cast<double>(port));
    const std::optional<std::uint16_t> newPort = portFromDouble(requested);
    if (!newPort) {
        errorFcn(invalidPortId, INVALID_PORT_TEXT);
        return;
    }

    // Everything that can fail comes first, so that a failure changes nothing.
    std::vector<PropertyPtr> properties;
    properties.emplace_back(new kit::TScalarProperty<double>(PORT_NUMBER, 0.0));
    properties.emplace_back(new kit::TScalarProperty<std::string>(IP_ADDRESS, std::string()));
    const std::vector<std::string> interfaces = interfacesOrNone();
    if (!interfaces.empty())
        properties.emplace_back(
            new StringVectorProperty(AVAILABLE_INTERFACES, interfaces.data(), interfaces.size()));
    std::string newAddress = kit::getScalarOptionValue<std::string>(options, IP_ADDRESS, ipAddress);
    auto fresh = std::make_unique<UDPListener>(
        newAddress, *newPort, receiveSize,
        [this](boost::shared_array<std::uint8_t> data, std::size_t length) {
            return onDatagram(std::move(data), length);
        },
        [this](const std::string& id, const std::string& text) { errorFcn(id, text); },
        [this](const std::string& id, const std::string& text) { warnFcn(id, text); });
    published.reserve(published.size() + properties.size());

    // The old listener's thread reads this object: it ends before anything changes.
    if (listener)
        listener->stopListening();
    listening = false;
    listener = std::move(fresh);
    port = *newPort;
    ipAddress = std::move(newAddress);
    for (PropertyPtr& property : properties)
        published.push_back(property.release()); // room was reserved: cannot throw
}

void SensorDeviceCore::open() noexcept {
    if (!listener)
        return;
    guarded([&] {
        // A second open without close restarts the cycle; the running one must end
        // before the report flag it reads is cleared.
        if (listening)
            listener->stopListening();
        ipAddressPublished = false;
        listening = true;
        listener->beginListening();
        postPort();
    });
}

void SensorDeviceCore::close() noexcept {
    if (!listener)
        return;
    guarded([&] {
        listener->stopListening();
        listening = false;
        postPort();
    });
}

void SensorDeviceCore::postPort() noexcept {
    kit::postPropertyValue<kit::TScalarProperty<double>>(channel, PORT_NUMBER,
                                                         static_cast<double>(listener->getPort()));
}

void SensorDeviceCore::errorFcn(const std::string& id, const std::string& text) noexcept {
    kit::postMessage<kit::ErrorInfo>(channel, id, text);
}

void SensorDeviceCore::warnFcn(const std::string& id, const std::string& text) noexcept {
    kit::postMessage<kit::WarningInfo>(channel, id, text);
}

void SensorDeviceCore::publishIPAddressOnce() noexcept {
    if (ipAddressPublished)
        return;
    ipAddressPublished = true;
    // The address could not be copied: the report is lost, the datagram is not.
    conduit::kit::guarded(
        [&] {
            // Without a listener (a device driven directly) the requested address stands in.
            std::string address = listener ? listener->getLocalIPAddress() : ipAddress;
            kit::postPropertyValue<kit::TScalarProperty<std::string>>(channel, IP_ADDRESS, address);
        },
        conduit::kit::unreported);
}

bool SensorDeviceCore::onDatagram(boost::shared_array<std::uint8_t> data,
                                  std::size_t length) noexcept {
    publishIPAddressOnce();
    // A datagram whose buffers could not be built is dropped without a word, as a
    // malformed one is; the next datagram is received all the same.
    return conduit::kit::guarded(
        false,
        [&] {
            ParsedDatagram parsed = parse(data.get(), length);
            if (!parsed.isReading()) {
                if (listener)
                    listener->countMalformedDatagram();
                return false;
            }
            for (std::size_t i = 0; i < parsed.size(); ++i) {
                // A refused buffer ends the datagram; the ones after it go with parsed.
                if (!kit::pushBuffer(channel, parsed.release(i)))
                    return false;
            }
            return true;
        },
        conduit::kit::unreported);
}

} // namespace mobilesensor
