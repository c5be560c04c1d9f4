#pragma once

// The bridge to an MQTT broker: every reading the output thread posts is published
// under PREFIX/PHONE/MEASUREMENT with its JSON object as payload, through the
// broker's own client library (libmosquitto) on a network thread of the bridge.
//
// The output thread only queues (mqtt_outbox.h) and raises a wake-up, once per
// batch; the network thread connects, publishes while the broker keeps up (at most
// a window of readings awaiting confirmation), and on a lost or refused connection
// tries again after a growing pause, sending every unconfirmed reading again, in
// order. Local output never waits for any of it.

#include "mqtt_settings.h"
#include "outgoing_batch.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace sensorstream {

// Readings sent and not yet confirmed, at most: enough to keep a broker on the
// same network busy, few enough that a lost connection sends little twice.
constexpr std::size_t MQTT_WINDOW = 100;

// Whether this build can publish to a broker (it was built with libmosquitto).
bool mqttAvailable();

// Starts the bridge's network thread, which starts connecting at once. phoneNames:
// the phones in the order of OutgoingReading::phone. Throws std::runtime_error
// when the bridge cannot be made (a build without libmosquitto, no memory).
std::unique_ptr<ReadingPublisher> makeMqttPublisher(const MqttSettings& settings,
                                                    const std::vector<std::string>& phoneNames);

} // namespace sensorstream
