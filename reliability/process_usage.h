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
// A thread as the kernel lists it in /proc/<pid>/task.
struct ThreadInfo {
    long id = 0;      // the kernel's task id
    std::string name; // the program's name unless the thread was given one
    char state = '?'; // R running, S sleeping, D waiting on a device, ...
};

// The threads of this process that have not begun to exit, by task id. A thread
// that was just joined can stay listed for a moment: pthread_join returns when the
// kernel clears the thread's id, before the task has finished its way out (still
// running its last kernel steps, or a zombie not yet reaped) and left the listing.
// Such a task carries the kernel's "exiting" flag, runs none of this program's code
// any more and is left out; a thread that has not reached its end, running or
// blocked, is always listed. taskDirectory picks another process's threads.
std::vector<ThreadInfo> liveThreads(const std::string& taskDirectory = "/proc/self/task");
// liveThreads().size(): what a test compares before and after a stop.
std::size_t threadCount();
// "1234 name S, 1240 name R", for messages.
std::string describe(const std::vector<ThreadInfo>& threads);
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
