#include "tools/common/option_parser.h"
#include "tools/sensorstream/phone_spec.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using namespace sensorstream;

std::string usageErrorOf(const std::string& text) {
    try {
        parsePhoneSpec(text);
    } catch (const kxtools::UsageError& error) {
        return error.what();
    }
    return "";
}

TEST(PhoneSpec, NameAppAndPort) {
    const PhoneSpec walk = parsePhoneSpec("walk=text:50000");
    EXPECT_EQ("walk", walk.name);
    EXPECT_EQ(App::Text, walk.app);
    EXPECT_EQ(50000, walk.port);

    const PhoneSpec desk = parsePhoneSpec("Desk_2-b=binary");
    EXPECT_EQ("Desk_2-b", desk.name);
    EXPECT_EQ(App::Binary, desk.app);
    EXPECT_EQ(0, desk.port) << "the device searches";

    EXPECT_EQ(65535, parsePhoneSpec("x=binary:65535").port);
    EXPECT_EQ(std::string(32, 'n'), parsePhoneSpec(std::string(32, 'n') + "=text").name);
}

TEST(PhoneSpec, MistakesSayWhatIsWrong) {
    const struct {
        std::string text;
        std::string says;
    } cases[] = {
        {"walk", "--phone: 'walk' is not NAME=APP or NAME=APP:PORT"},
        {"=text:50000", "--phone: the name must have 1 to 32 characters"},
        {std::string(33, 'n') + "=text", "--phone: the name must have 1 to 32 characters"},
        {"my phone=text", "--phone: the name 'my phone' may hold only letters, digits"},
        {"a/b=text", "may hold only letters, digits, '-' and '_'"},
        {"a+=text", "may hold only letters, digits, '-' and '_'"},
        {"walk=json", "--phone: 'json' is not an app (text or binary)"},
        {"walk=", "is not an app"},
        {"walk=text:", "--phone port"},
        {"walk=text:65536", "--phone port: '65536' is out of range (0 to 65535)"},
        {"walk=text:port", "--phone port: 'port' is not a whole number"},
    };
    for (const auto& c : cases) {
        const std::string error = usageErrorOf(c.text);
        EXPECT_EQ(0u, error.find("--phone")) << c.text << " said: " << error;
        EXPECT_NE(std::string::npos, error.find(c.says)) << c.text << " said: " << error;
    }
}

// Two phones never share a name (the key of their output) nor a fixed port (a
// device hears only the first sender); any number may leave the port to the device.
TEST(PhoneSpec, NamesAndFixedPortsAreEachGivenOnce) {
    std::vector<PhoneSpec> phones;
    addPhone(phones, parsePhoneSpec("left=text:50000"));
    addPhone(phones, parsePhoneSpec("right=binary"));
    addPhone(phones, parsePhoneSpec("desk=text"));
    EXPECT_EQ(3u, phones.size());
    try {
        addPhone(phones, parsePhoneSpec("left=binary:50001"));
        ADD_FAILURE() << "a name given twice";
    } catch (const kxtools::UsageError& error) {
        EXPECT_STREQ("--phone: the name 'left' is given twice", error.what());
    }
    try {
        addPhone(phones, parsePhoneSpec("back=binary:50000"));
        ADD_FAILURE() << "a port given twice";
    } catch (const kxtools::UsageError& error) {
        EXPECT_STREQ("--phone: the port 50000 is given to both 'left' and 'back'", error.what());
    }
    EXPECT_EQ(3u, phones.size()) << "a refused phone is not added";
}

TEST(PhoneSpec, WithoutPhonesOneOfEachApp) {
    const auto phones = defaultPhones();
    ASSERT_EQ(2u, phones.size());
    EXPECT_EQ("text", phones[0].name);
    EXPECT_EQ(App::Text, phones[0].app);
    EXPECT_EQ("binary", phones[1].name);
    EXPECT_EQ(App::Binary, phones[1].app);
    EXPECT_STREQ("kinedgram", devicePluginName(App::Text));
    EXPECT_STREQ("kinescope", devicePluginName(App::Binary));
}

} // namespace
