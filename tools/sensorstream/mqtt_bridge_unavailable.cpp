// A build without libmosquitto: sensorstream runs, but cannot publish to a broker.

#include "mqtt_bridge.h"

#include <stdexcept>

namespace sensorstream {

bool mqttAvailable() { return false; }

std::unique_ptr<ReadingPublisher> makeMqttPublisher(const MqttSettings&,
                                                    const std::vector<std::string>&) {
    throw std::runtime_error("this sensorstream was built without MQTT (libmosquitto)");
}

} // namespace sensorstream
