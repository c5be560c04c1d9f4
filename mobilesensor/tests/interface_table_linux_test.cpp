#include "mobilesensor/interface_table_linux.h"

#include <arpa/inet.h>
#include <cstring>
#include <deque>
#include <gtest/gtest.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <string>
#include <vector>

namespace {

using mobilesensor::selectInterfaceAddresses;
using Addresses = std::vector<std::string>;

struct Row {
    const char* name;
    int family; // AF_INET, AF_INET6, AF_PACKET, or -1 for an entry without an address
    const char* address;
    unsigned flags;
};

// A getifaddrs list built from rows, in row order.
class ScriptedList {
public:
    explicit ScriptedList(const std::vector<Row>& rows) {
        for (const Row& row : rows) {
            names_.emplace_back(row.name);
            ifaddrs& entry = entries_.emplace_back();
            entry = ifaddrs{};
            entry.ifa_name = names_.back().data();
            entry.ifa_flags = row.flags;
            if (row.family >= 0) {
                sockaddr_storage& storage = storage_.emplace_back();
                storage = sockaddr_storage{};
                storage.ss_family = static_cast<sa_family_t>(row.family);
                if (row.family == AF_INET) {
                    auto* in = reinterpret_cast<sockaddr_in*>(&storage);
                    inet_pton(AF_INET, row.address, &in->sin_addr);
                } else if (row.family == AF_INET6) {
                    auto* in6 = reinterpret_cast<sockaddr_in6*>(&storage);
                    inet_pton(AF_INET6, row.address, &in6->sin6_addr);
                }
                entry.ifa_addr = reinterpret_cast<sockaddr*>(&storage);
            }
        }
        for (std::size_t i = 0; i + 1 < entries_.size(); ++i)
            entries_[i].ifa_next = &entries_[i + 1];
    }
    const ifaddrs* head() const { return entries_.empty() ? nullptr : &entries_.front(); }

private:
    // deques keep element addresses stable as they grow
    std::deque<std::string> names_;
    std::deque<sockaddr_storage> storage_;
    std::deque<ifaddrs> entries_;
};

constexpr unsigned UP = IFF_UP;
constexpr unsigned LOOPBACK = IFF_UP | IFF_LOOPBACK;

struct Case {
    const char* what;
    std::vector<Row> rows;
    Addresses expected;
};

class InterfaceTable : public ::testing::TestWithParam<Case> {};

TEST_P(InterfaceTable, SelectsTheFirstIPv4AddressOfEachInterface) {
    const ScriptedList list(GetParam().rows);
    EXPECT_EQ(GetParam().expected, selectInterfaceAddresses(list.head())) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Tables, InterfaceTable,
    ::testing::Values(
        Case{"empty list", {}, {}},
        Case{"one adapter at 10.0.0.5 and one at 0.0.0.0",
             {{"eth0", AF_INET, "10.0.0.5", UP}, {"eth1", AF_INET, "0.0.0.0", UP}},
             {"10.0.0.5"}},
        Case{"an adapter with two addresses contributes its first",
             {{"eth0", AF_INET, "192.168.1.10", UP},
              {"wlan0", AF_INET, "10.1.2.3", UP},
              {"eth0", AF_INET, "192.168.1.11", UP}},
             {"192.168.1.10", "10.1.2.3"}},
        Case{"the list's order is kept",
             {{"wlan0", AF_INET, "10.1.2.3", UP}, {"eth0", AF_INET, "192.168.1.10", UP}},
             {"10.1.2.3", "192.168.1.10"}},
        Case{"no loopback",
             {{"lo", AF_INET, "127.0.0.1", LOOPBACK}, {"eth0", AF_INET, "10.0.0.5", UP}},
             {"10.0.0.5"}},
        Case{"link-layer, IPv6 and address-less entries are passed over",
             {{"eth0", AF_PACKET, "", UP},
              {"tun0", -1, "", UP},
              {"eth0", AF_INET6, "fe80::1", UP},
              {"eth0", AF_INET, "172.16.0.2", UP},
              {"wg0", AF_INET6, "fd00::2", UP}},
             {"172.16.0.2"}},
        Case{"a first address of 0.0.0.0 hides the interface's later ones",
             {{"eth0", AF_INET, "0.0.0.0", UP}, {"eth0", AF_INET, "10.0.0.7", UP}},
             {}},
        Case{"an alias label belongs to its interface",
             {{"eth0", AF_INET, "10.0.0.5", UP}, {"eth0:1", AF_INET, "10.0.0.6", UP}},
             {"10.0.0.5"}},
        Case{"interfaces that are down are listed too",
             {{"eth0", AF_INET, "10.0.0.5", 0}},
             {"10.0.0.5"}}));

} // namespace
