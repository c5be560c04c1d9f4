#pragma once

// The two phone apps and the device plug-in that receives each.

namespace sensorstream {

enum class App { Text, Binary };

// The device plug-in of an app: kinedgram or kinescope.
const char* devicePluginName(App app);
const char* appName(App app); // "text" or "binary"

} // namespace sensorstream
