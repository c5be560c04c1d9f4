#include "phone_app.h"

namespace sensorstream {

const char* appName(App app) { return app == App::Text ? "text" : "binary"; }

} // namespace sensorstream
