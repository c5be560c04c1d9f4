#pragma once

#include <boost/asio/ip/udp.hpp>
#include <cstdint>

// Internal to kinelink: the socket's own count of the datagrams the operating
// system dropped for it (its receive queue was full). Linux keeps one per socket;
// elsewhere, and when the system does not say, the answer is 0.

namespace mobilesensor {

std::uint64_t systemDropCount(boost::asio::ip::udp::socket& socket) noexcept;

} // namespace mobilesensor
