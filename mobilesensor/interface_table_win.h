#pragma once

#include <functional>
#include <iphlpapi.h>
#include <string>
#include <vector>
#include <winsock2.h>

namespace mobilesensor {

// The adapter table call: GetAdaptersInfo, or a scripted table in tests.
using AdaptersInfoCall = std::function<ULONG(IP_ADAPTER_INFO*, ULONG*)>;

// The addresses getEthernetInterfaces reports for the table that call returns. The
// table is read into a buffer of one adapter record; when the call answers
// ERROR_BUFFER_OVERFLOW it is read once more into a buffer of the size the call
// asked for. Any other failure gives an empty list. For each adapter, in table
// order, the first address counts unless it is 0.0.0.0. An address or mask text that
// does not parse throws boost::system::system_error.
std::vector<std::string> readAdapterAddresses(const AdaptersInfoCall& call);

} // namespace mobilesensor
