#include "socket_drops.h"

#include <linux/sock_diag.h>
#include <sys/socket.h>

namespace mobilesensor {

std::uint64_t systemDropCount(boost::asio::ip::udp::socket& socket) noexcept {
    std::uint32_t memory[SK_MEMINFO_VARS] = {};
    socklen_t length = sizeof memory;
    if (getsockopt(socket.native_handle(), SOL_SOCKET, SO_MEMINFO, memory, &length) != 0 ||
        length <= SK_MEMINFO_DROPS * sizeof memory[0])
        return 0;
    return memory[SK_MEMINFO_DROPS];
}

} // namespace mobilesensor
