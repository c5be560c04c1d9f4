#include "interface_table_linux.h"

#include "dotted_address.h"

#include <algorithm>
#include <cstring>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

namespace mobilesensor {

namespace {

std::string interfaceOf(const char* name) {
    const std::string label = name != nullptr ? name : "";
    return label.substr(0, label.find(':'));
}

} // namespace

std::vector<std::string> selectInterfaceAddresses(const ifaddrs* list) {
    std::vector<std::string> addresses;
    std::vector<std::string> interfacesSeen;
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET)
            continue;
        if ((entry->ifa_flags & IFF_LOOPBACK) != 0)
            continue;
        const std::string name = interfaceOf(entry->ifa_name);
        if (std::find(interfacesSeen.begin(), interfacesSeen.end(), name) != interfacesSeen.end())
            continue; // only an interface's first address counts
        interfacesSeen.push_back(name);

        sockaddr_in address{};
        std::memcpy(&address, entry->ifa_addr, sizeof address);
        std::array<std::uint8_t, 4> octets{};
        std::memcpy(octets.data(), &address.sin_addr.s_addr, octets.size()); // network order
        if (octets == std::array<std::uint8_t, 4>{})
            continue; // 0.0.0.0: the interface has no address
        addresses.push_back(formatDottedAddress(octets));
    }
    return addresses;
}

} // namespace mobilesensor
