#include "phone_app.h"

namespace sensorstream {

const char* devicePluginName(App app) { return app == App::Text ? "kinedgram" : "kinescope"; }

const char* appName(App app) { return app == App::Text ? "text" : "binary"; }

} // namespace sensorstream
