#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What this process holds, read from Linux's /proc and from the allocator: the
// fault and load tests compare these before and after they run a device, so that
// a thread, socket, file or heap block left behind shows as growth.

namespace reliability {

// Open file descriptors (sockets, files, pipes, event descriptors), not counting
// the one used to list them.
std::size_t openFileCount();
// What each open descriptor refers to ("socket:[123]", a path), for messages.
std::vector<std::string> openFiles();
// Threads of this process.
std::size_t threadCount();
// Resident memory in bytes.
std::size_t residentBytes();
// Heap bytes allocated and not yet freed. Under the sanitizers their allocator's
// own count (freed blocks wait in a quarantine, so resident memory means little
// there); otherwise the C library's.
std::size_t heapBytesInUse();

// The drop counter of the IPv4 UDP socket bound to port (any local address):
// datagrams the system dropped because the socket's queue was full. Empty when no
// such socket exists.
std::optional<std::uint64_t> udpSocketDrops(std::uint16_t port);

// The process's limit on open descriptors raised as far as allowed; the soft limit
// now in force.
std::size_t raiseOpenFileLimit();

} // namespace reliability
