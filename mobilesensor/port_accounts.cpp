#include "port_accounts.h"

#include "socket_drops.h"

#include <algorithm>
#include <map>

namespace mobilesensor {

namespace {

// Accounts are looked up when a socket is bound and when a program reads them, never
// per datagram: one lock for the table is enough.
struct AccountTable {
    conduit::kit::Mutex mutex;
    std::map<std::uint16_t, std::shared_ptr<PortAccount>> accounts KX_GUARDED_BY(mutex);
};

AccountTable& accountTable() {
    // Never destroyed: listeners of other static objects may still close at exit.
    static AccountTable* const instance = new AccountTable;
    return *instance;
}

std::shared_ptr<PortAccount> findAccount(std::uint16_t port) {
    AccountTable& accounts = accountTable();
    const conduit::kit::MutexLock lock(accounts.mutex);
    const auto found = accounts.accounts.find(port);
    return found == accounts.accounts.end() ? nullptr : found->second;
}

} // namespace

void PortAccount::socketOpened(boost::asio::ip::udp::socket& socket) {
    const conduit::kit::MutexLock lock(socketsMutex_);
    openSockets_.push_back(&socket);
}

std::uint64_t PortAccount::socketClosing(boost::asio::ip::udp::socket& socket) {
    const conduit::kit::MutexLock lock(socketsMutex_);
    const auto listed = std::find(openSockets_.begin(), openSockets_.end(), &socket);
    if (listed == openSockets_.end())
        return 0;
    openSockets_.erase(listed);
    const std::uint64_t drops = systemDropCount(socket);
    droppedByClosedSockets_ += drops;
    return drops;
}

DatagramAccounting PortAccount::read() const {
    DatagramAccounting totals;
    totals.port = port_;
    totals.received = received_.load(std::memory_order_relaxed);
    totals.fromOtherSenders = fromOtherSenders_.load(std::memory_order_relaxed);
    totals.delivered = delivered_.load(std::memory_order_relaxed);
    totals.malformed = malformed_.load(std::memory_order_relaxed);
    const conduit::kit::MutexLock lock(socketsMutex_);
    totals.droppedBySystem = droppedByClosedSockets_;
    for (boost::asio::ip::udp::socket* const socket : openSockets_)
        totals.droppedBySystem += systemDropCount(*socket);
    return totals;
}

std::shared_ptr<PortAccount> portAccount(std::uint16_t port) {
    AccountTable& accounts = accountTable();
    const conduit::kit::MutexLock lock(accounts.mutex);
    std::shared_ptr<PortAccount>& account = accounts.accounts[port];
    if (!account)
        account = std::make_shared<PortAccount>(port);
    return account;
}

DatagramAccounting datagramAccountingForPort(std::uint16_t port) {
    const std::shared_ptr<PortAccount> account = findAccount(port);
    if (!account) {
        DatagramAccounting none;
        none.port = port;
        return none;
    }
    return account->read();
}

std::vector<DatagramAccounting> datagramAccountingForEveryPort() {
    std::vector<std::shared_ptr<PortAccount>> accounts;
    {
        AccountTable& table = accountTable();
        const conduit::kit::MutexLock lock(table.mutex);
        for (const auto& entry : table.accounts)
            accounts.push_back(entry.second);
    }
    std::vector<DatagramAccounting> totals;
    totals.reserve(accounts.size());
    for (const auto& account : accounts)
        totals.push_back(account->read());
    return totals;
}

} // namespace mobilesensor
