#include "mobilesensor/dotted_address.h"
#include "mobilesensor/ethernet_interfaces.h"

#include <gtest/gtest.h>

namespace {

// The computer's own table: whatever it holds, every entry is a plain dotted IPv4
// address, never 0.0.0.0 and never loopback.
TEST(EthernetInterfaces, ListsDottedAddressesOfReachableAdapters) {
    const std::vector<std::string> addresses = mobilesensor::getEthernetInterfaces();
    for (const std::string& address : addresses) {
        const auto parsed = mobilesensor::parseTableAddress(address);
        EXPECT_EQ(address, mobilesensor::formatDottedAddress(parsed.to_bytes()));
        EXPECT_FALSE(parsed.is_unspecified()) << address;
        EXPECT_FALSE(parsed.is_loopback()) << address;
    }
    // Keeps no state: a second call gives the same answer.
    EXPECT_EQ(addresses, mobilesensor::getEthernetInterfaces());
}

} // namespace
