#include "phone_spec.h"

#include "tools/common/choice_parsing.h"
#include "tools/common/number_parsing.h"

namespace sensorstream {

namespace {

constexpr std::size_t MAX_NAME_LENGTH = 32;

bool isNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_';
}

} // namespace

PhoneSpec parsePhoneSpec(const std::string& text) {
    const auto equals = text.find('=');
    if (equals == std::string::npos)
        throw kxtools::UsageError("--phone: '" + text + "' is not NAME=APP or NAME=APP:PORT");
    PhoneSpec phone;
    phone.name = text.substr(0, equals);
    if (phone.name.empty() || phone.name.size() > MAX_NAME_LENGTH)
        throw kxtools::UsageError("--phone: the name must have 1 to 32 characters");
    for (const char c : phone.name) {
        if (!isNameCharacter(c))
            throw kxtools::UsageError("--phone: the name '" + phone.name +
                                      "' may hold only letters, digits, '-' and '_'");
    }
    const std::string rest = text.substr(equals + 1);
    const auto colon = rest.find(':');
    phone.app = kxtools::parseChoice<App>(rest.substr(0, colon), "--phone", "an app",
                                          {{"text", App::Text}, {"binary", App::Binary}});
    if (colon != std::string::npos)
        phone.port = static_cast<std::uint16_t>(
            kxtools::parseInteger(rest.substr(colon + 1), "--phone port", 0, 65535));
    return phone;
}

void addPhone(std::vector<PhoneSpec>& phones, PhoneSpec phone) {
    for (const auto& other : phones) {
        if (other.name == phone.name)
            throw kxtools::UsageError("--phone: the name '" + phone.name + "' is given twice");
        if (phone.port != 0 && other.port == phone.port)
            throw kxtools::UsageError("--phone: the port " + std::to_string(phone.port) +
                                      " is given to both '" + other.name + "' and '" + phone.name +
                                      "'");
    }
    phones.push_back(std::move(phone));
}

std::vector<PhoneSpec> defaultPhones() {
    return {{appName(App::Text), App::Text, 0}, {appName(App::Binary), App::Binary, 0}};
}

} // namespace sensorstream
