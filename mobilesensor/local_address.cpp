#include "local_address.h"

#include <atomic>

namespace mobilesensor {

namespace {
std::atomic<LocalAddressDiscovery> discoveryInUse{&discoverLocalAddress};
}

std::string discoverLocalAddress(boost::asio::io_context& io,
                                 const boost::asio::ip::udp::endpoint& remote) {
    boost::asio::ip::udp::socket probe(io);
    probe.open(remote.protocol());
    probe.connect(remote);
    const std::string local = probe.local_endpoint().address().to_string();
    // The address is known; a socket that will not shut down cleanly changes nothing.
    boost::system::error_code ignored;
    probe.shutdown(boost::asio::socket_base::shutdown_both, ignored);
    probe.close(ignored);
    return local;
}

LocalAddressDiscovery currentLocalAddressDiscovery() {
    return discoveryInUse.load(std::memory_order_acquire);
}

LocalAddressDiscovery setLocalAddressDiscovery(LocalAddressDiscovery discovery) {
    return discoveryInUse.exchange(discovery != nullptr ? discovery : &discoverLocalAddress,
                                   std::memory_order_acq_rel);
}

} // namespace mobilesensor
