#pragma once

// The two phone apps and the device plug-in that receives each.

namespace kxtools {

// The text app (kinedgram) and the binary app (kinescope).
enum class SensorApp { Text, Binary };

// The device plug-in of an app: kinedgram or kinescope.
const char* devicePluginName(SensorApp app);

} // namespace kxtools
