// Prints, one JSON object a line, the readings a sensor device and the converter
// make of what phonesim sends for a scenario, in order: the Python tests compare
// what kx reads with them. Usage: kx_expected_readings text|binary SEED RATE COUNT
// (COUNT datagrams, RATE motion readings a second, as phonesim's --seed, --rate
// and --count).

#include "tools/phonesim/scenario.h"
#include "tools/sensorstream/tests/expected_readings.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: kx_expected_readings text|binary SEED RATE COUNT\n");
        return 2;
    }
    phonesim::ScenarioConfig config;
    config.app = std::string(argv[1]) == "binary" ? phonesim::App::Binary : phonesim::App::Text;
    config.seed = std::strtoull(argv[2], nullptr, 10);
    config.motionRate = std::strtod(argv[3], nullptr);
    const auto count = std::strtoull(argv[4], nullptr, 10);
    phonesim::Scenario scenario(config);
    std::vector<phonesim::Reading> sent;
    for (unsigned long long i = 0; i < count; ++i)
        sent.push_back(scenario.next());
    for (const auto& reading : sensorstream::testing::expectedReadings(sent)) {
        std::printf("{\"measurement\": %d, \"fields\": {", reading.measurement);
        const char* separator = "";
        for (const auto& [name, value] : reading.fields) {
            std::printf("%s\"%s\": %.17g", separator, name.c_str(), value);
            separator = ", ";
        }
        std::printf("}}\n");
    }
    return 0;
}
