#pragma once

#include "mobilesensor/device/testing/sensor_exchange.h"

#include <gtest/gtest.h>
#include <string>

// What the two sensor device plug-ins do alike: options and published properties,
// the listener's cycle, the address report and the hand-over of buffers, tested once
// on the loaded plug-in with real datagrams on loopback. A plug-in's test program
// instantiates it with its app:
//
//   INSTANTIATE_TEST_SUITE_P(Kinedgram, SensorPlugin, testing::Values(kinedgramApp()));

namespace mobilesensor::testing {

class SensorPlugin : public ::testing::TestWithParam<SensorApp> {
protected:
    SensorExchange plugin{GetParam()};
    PluginSession& session = plugin.session;
    // The kind of the one buffer of the app's reading.
    const std::string reading = std::string(1, GetParam().readingKind);
};

} // namespace mobilesensor::testing
