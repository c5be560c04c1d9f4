#include "ethernet_interfaces.h"
#include "interface_table_linux.h"

#include <ifaddrs.h>
#include <memory>

namespace mobilesensor {

std::vector<std::string> getEthernetInterfaces() {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return {};
    const std::unique_ptr<ifaddrs, decltype(&freeifaddrs)> owner(list, &freeifaddrs);
    return selectInterfaceAddresses(list);
}

} // namespace mobilesensor
