#include "mobilesensor/interface_table_win.h"

#include <algorithm>
#include <boost/system/system_error.hpp>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

namespace {

using mobilesensor::readAdapterAddresses;
using Addresses = std::vector<std::string>;

// One adapter: its (address, mask) texts in table order.
using ScriptedAdapter = std::vector<std::pair<std::string, std::string>>;

// Stands in for GetAdaptersInfo: answers ERROR_BUFFER_OVERFLOW with the size it needs
// when the buffer is too small, as the real call does, and records each call's size.
// Forced results replace the answers of the first calls.
class ScriptedTable {
public:
    explicit ScriptedTable(std::vector<ScriptedAdapter> adapters, std::vector<ULONG> forced = {})
        : adapters_(std::move(adapters)), forced_(std::move(forced)) {}

    ULONG operator()(IP_ADAPTER_INFO* buffer, ULONG* size) {
        const std::size_t call = sizesSeen.size();
        sizesSeen.push_back(*size);
        if (call < forced_.size() && forced_[call] != NO_ERROR) {
            if (forced_[call] == ERROR_BUFFER_OVERFLOW)
                *size = needed() + 1000; // the table grew since the last call
            return forced_[call];
        }
        if (*size < needed()) {
            *size = needed();
            return ERROR_BUFFER_OVERFLOW;
        }
        fill(buffer);
        return NO_ERROR;
    }

    std::vector<ULONG> sizesSeen;

private:
    ULONG needed() const {
        std::size_t extra = 0;
        for (const ScriptedAdapter& adapter : adapters_)
            extra += adapter.size() > 1 ? adapter.size() - 1 : 0;
        return static_cast<ULONG>(adapters_.size() * sizeof(IP_ADAPTER_INFO) +
                                  extra * sizeof(IP_ADDR_STRING));
    }

    static void copyText(char (&field)[16], const std::string& text) {
        std::memset(field, 0, sizeof field);
        std::memcpy(field, text.data(), std::min(text.size(), sizeof field - 1));
    }

    // Adapter records first, further addresses after them, all inside the buffer.
    void fill(IP_ADAPTER_INFO* buffer) const {
        auto* more = reinterpret_cast<IP_ADDR_STRING*>(buffer + adapters_.size());
        for (std::size_t i = 0; i < adapters_.size(); ++i) {
            IP_ADAPTER_INFO& record = buffer[i];
            std::memset(&record, 0, sizeof record);
            record.Next = i + 1 < adapters_.size() ? &buffer[i + 1] : nullptr;
            IP_ADDR_STRING* entry = &record.IpAddressList;
            for (std::size_t j = 0; j < adapters_[i].size(); ++j) {
                if (j > 0) {
                    std::memset(more, 0, sizeof *more);
                    entry->Next = more;
                    entry = more++;
                }
                copyText(entry->IpAddress.String, adapters_[i][j].first);
                copyText(entry->IpMask.String, adapters_[i][j].second);
            }
        }
    }

    std::vector<ScriptedAdapter> adapters_;
    std::vector<ULONG> forced_;
};

Addresses read(ScriptedTable& table) { return readAdapterAddresses(std::ref(table)); }

const std::string MASK = "255.255.255.0";

TEST(AdapterTable, SkipsAnAdapterWithoutAddress) {
    ScriptedTable table({{{"10.0.0.5", MASK}}, {{"0.0.0.0", "0.0.0.0"}}});
    EXPECT_EQ(Addresses{"10.0.0.5"}, read(table));
}

TEST(AdapterTable, TakesOnlyTheFirstAddressOfAnAdapter) {
    ScriptedTable table({{{"192.168.1.10", MASK}, {"192.168.1.11", MASK}}, {{"10.1.2.3", MASK}}});
    EXPECT_EQ((Addresses{"192.168.1.10", "10.1.2.3"}), read(table));
}

TEST(AdapterTable, ReadsATableOfOneRecordInOneCall) {
    ScriptedTable table({{{"172.16.0.2", MASK}}});
    EXPECT_EQ(Addresses{"172.16.0.2"}, read(table));
    // The first buffer holds exactly one adapter record.
    EXPECT_EQ(std::vector<ULONG>{sizeof(IP_ADAPTER_INFO)}, table.sizesSeen);
}

TEST(AdapterTable, ReadsATableTooBigForTheFirstBufferWithASecondCall) {
    std::vector<ScriptedAdapter> adapters;
    Addresses expected;
    for (int i = 1; i <= 6; ++i) {
        const std::string address = "10.0.0." + std::to_string(i);
        adapters.push_back({{address, MASK}, {"10.9.9." + std::to_string(i), MASK}});
        expected.push_back(address);
    }
    ScriptedTable table(adapters);
    EXPECT_EQ(expected, read(table));
    // The second call gets a buffer of the size the first one asked for.
    ASSERT_EQ(2u, table.sizesSeen.size());
    EXPECT_EQ(sizeof(IP_ADAPTER_INFO), table.sizesSeen[0]);
    EXPECT_EQ(6 * sizeof(IP_ADAPTER_INFO) + 6 * sizeof(IP_ADDR_STRING), table.sizesSeen[1]);
}

TEST(AdapterTable, GivesAnEmptyListWhenTheTableCannotBeRead) {
    // The first call fails for another reason than the buffer size: no second call.
    ScriptedTable noData({{{"10.0.0.5", MASK}}}, {ERROR_NO_DATA});
    EXPECT_EQ(Addresses{}, read(noData));
    EXPECT_EQ(1u, noData.sizesSeen.size());
    // The second call fails (the table grew in between): no third call.
    ScriptedTable grew({{{"10.0.0.5", MASK}}, {{"10.0.0.6", MASK}}},
                       {ERROR_BUFFER_OVERFLOW, ERROR_BUFFER_OVERFLOW});
    EXPECT_EQ(Addresses{}, read(grew));
    EXPECT_EQ(2u, grew.sizesSeen.size());
}

TEST(AdapterTable, WritesAddressesWithoutLeadingZeros) {
    ScriptedTable table(
        std::vector<ScriptedAdapter>{ScriptedAdapter{{"192.168.001.010", "255.255.255.000"}}});
    EXPECT_EQ(Addresses{"192.168.1.10"}, read(table));
}

TEST(AdapterTable, ThrowsASystemErrorForTextThatIsNoAddress) {
    ScriptedTable badAddress({{{"10.0.0.5", MASK}}, {{"bogus", MASK}}});
    EXPECT_THROW(read(badAddress), boost::system::system_error);
    ScriptedTable badMask(std::vector<ScriptedAdapter>{ScriptedAdapter{{"10.0.0.5", "255.255"}}});
    EXPECT_THROW(read(badMask), boost::system::system_error);
}

} // namespace
