#include "ethernet_interfaces.h"
#include "interface_table_win.h"

namespace mobilesensor {

std::vector<std::string> getEthernetInterfaces() { return readAdapterAddresses(&GetAdaptersInfo); }

} // namespace mobilesensor
