#include "interface_table_win.h"

#include "dotted_address.h"

#include <cstring>
#include <memory>

namespace mobilesensor {

namespace {

// A buffer for the adapter table, aligned for its records.
struct AdapterTable {
    explicit AdapterTable(ULONG bytes)
        : records(new IP_ADAPTER_INFO[(bytes + sizeof(IP_ADAPTER_INFO) - 1) /
                                      sizeof(IP_ADAPTER_INFO)]()),
          size(bytes) {}
    std::unique_ptr<IP_ADAPTER_INFO[]> records;
    ULONG size;
};

// A text field of the table, which need not end in NUL.
template <std::size_t N> std::string textOf(const char (&field)[N]) {
    return std::string(field, strnlen(field, N));
}

} // namespace

std::vector<std::string> readAdapterAddresses(const AdaptersInfoCall& call) {
    std::unique_ptr<AdapterTable> table(new AdapterTable(sizeof(IP_ADAPTER_INFO)));
    ULONG size = table->size;
    ULONG result = call(table->records.get(), &size);
    if (result == ERROR_BUFFER_OVERFLOW) {
        table.reset();
        try {
            table.reset(new AdapterTable(size));
        } catch (const std::bad_alloc&) {
            return {};
        }
        size = table->size;
        result = call(table->records.get(), &size);
    }
    if (result != NO_ERROR)
        return {};

    std::vector<std::string> addresses;
    for (const IP_ADAPTER_INFO* adapter = table->records.get(); adapter != nullptr;
         adapter = adapter->Next) {
        const IP_ADDR_STRING& first = adapter->IpAddressList;
        const auto address = parseTableAddress(textOf(first.IpAddress.String));
        parseTableAddress(textOf(first.IpMask.String)); // a bad mask is as bad as a bad address
        if (address.is_unspecified())
            continue; // 0.0.0.0: the adapter has no address
        addresses.push_back(formatDottedAddress(address.to_bytes()));
    }
    return addresses;
}

} // namespace mobilesensor
