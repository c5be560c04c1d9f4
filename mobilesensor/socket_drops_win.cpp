#include "socket_drops.h"

namespace mobilesensor {

// Winsock keeps no drop count per socket.
std::uint64_t systemDropCount(boost::asio::ip::udp::socket&) noexcept { return 0; }

} // namespace mobilesensor
