#pragma once

#include <string>
#include <vector>

struct ifaddrs;

namespace mobilesensor {

// The addresses getEthernetInterfaces reports for a getifaddrs list, in list order:
// for each interface the first IPv4 entry, unless it is 0.0.0.0; no loopback
// interface. An alias label ("eth0:1") counts as its interface ("eth0").
std::vector<std::string> selectInterfaceAddresses(const ifaddrs* list);

} // namespace mobilesensor
