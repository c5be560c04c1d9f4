#pragma once

// Which phones a program listens to: "--phone NAME=APP[:PORT]", repeatable. Each
// phone has a name of its own (the key of its section in every view), the app it
// runs and the UDP port its device listens on (0: the device searches).

#include "phone_app.h"

#include <cstdint>
#include <string>
#include <vector>

namespace sensorstream {

struct PhoneSpec {
    std::string name;
    App app = App::Text;
    std::uint16_t port = 0;
};

// "walk=text:50000", "desk=binary" (port 0). The name is 1 to 32 letters, digits,
// '-' or '_'. Throws kxtools::UsageError naming --phone and what is wrong.
PhoneSpec parsePhoneSpec(const std::string& text);

// Adds a phone to the list; throws kxtools::UsageError when its name, or a fixed
// port, is already taken by another phone.
void addPhone(std::vector<PhoneSpec>& phones, PhoneSpec phone);

// Without --phone: one phone of each app, named after it ("text", "binary"), each
// on a port its device finds.
std::vector<PhoneSpec> defaultPhones();

} // namespace sensorstream
