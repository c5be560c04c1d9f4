#pragma once

#include <array>
#include <boost/asio/ip/address_v4.hpp>
#include <cstdint>
#include <string>

// IPv4 addresses as the interface list shows them: four decimal octets, as in
// 192.168.1.10.

namespace mobilesensor {

// The four octets in network order, formatted "%1%.%2%.%3%.%4%".
std::string formatDottedAddress(const std::array<std::uint8_t, 4>& octets);

// Parses an address as an adapter table writes it: four decimal octets of up to
// three digits each, leading zeros allowed ("192.168.001.010" is 192.168.1.10).
// Anything else throws boost::system::system_error (invalid_argument).
boost::asio::ip::address_v4 parseTableAddress(const std::string& text);

} // namespace mobilesensor
