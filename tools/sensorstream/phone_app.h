#pragma once

// The two phone apps and the device plug-in that receives each (the programs'
// shared ones), with the names sensorstream's options give them.

#include "tools/common/sensor_app.h"

namespace sensorstream {

using App = kxtools::SensorApp;
using kxtools::devicePluginName;

const char* appName(App app); // "text" or "binary"

} // namespace sensorstream
