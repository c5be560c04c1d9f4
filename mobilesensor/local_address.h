#pragma once

#include "kinelink_export.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/udp.hpp>
#include <string>

// How the listener finds the local address through which this computer reaches a
// sender: a temporary UDP socket connected to the sender asks the routing table,
// and its local address is the answer. No datagram is sent. A test may put another
// discovery in its place; the replacement is not exported: tests reach it through
// kinelink_static.

namespace mobilesensor {

// The local address (as text) that reaches remote. Throws a std::exception
// (boost::system::system_error) when there is none.
KINELINK_EXPORT std::string discoverLocalAddress(boost::asio::io_context& io,
                                                 const boost::asio::ip::udp::endpoint& remote);

using LocalAddressDiscovery = std::string (*)(boost::asio::io_context&,
                                              const boost::asio::ip::udp::endpoint&);

// The discovery the listener uses: discoverLocalAddress unless a test replaced it.
LocalAddressDiscovery currentLocalAddressDiscovery();

// Makes listeners use discovery instead (null restores discoverLocalAddress) and
// returns the one used so far. For tests only.
LocalAddressDiscovery setLocalAddressDiscovery(LocalAddressDiscovery discovery);

} // namespace mobilesensor
