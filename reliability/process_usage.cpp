#include "process_usage.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <sstream>
#include <sys/resource.h>
#include <unistd.h>

#if KX_SANITIZED_BUILD
// The sanitizer runtimes of both compilers have it; only clang installs its header.
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace reliability {

namespace fs = std::filesystem;

namespace {

std::size_t entries(const char* directory) {
    std::size_t count = 0;
    for (const auto& entry : fs::directory_iterator(directory)) {
        (void)entry;
        ++count;
    }
    return count;
}

} // namespace

std::size_t openFileCount() {
    // The listing itself holds one descriptor while it runs.
    return entries("/proc/self/fd") - 1;
}

std::vector<std::string> openFiles() {
    std::vector<std::string> targets;
    for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
        std::error_code failure;
        const fs::path target = fs::read_symlink(entry.path(), failure);
        targets.push_back(entry.path().filename().string() + " -> " +
                          (failure ? std::string("?") : target.string()));
    }
    return targets;
}

std::size_t threadCount() { return entries("/proc/self/task"); }

std::size_t residentBytes() {
    std::ifstream statm("/proc/self/statm");
    std::size_t size = 0;
    std::size_t resident = 0;
    statm >> size >> resident;
    return resident * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

std::size_t heapBytesInUse() {
#if KX_SANITIZED_BUILD
    return __sanitizer_get_current_allocated_bytes();
#else
    return mallinfo2().uordblks;
#endif
}

std::optional<std::uint64_t> udpSocketDrops(std::uint16_t port) {
    // Lines: sl local_address rem_address st tx_queue:rx_queue tr:tm->when retrnsmt
    // uid timeout inode ref pointer drops, addresses as hex address:port.
    std::ifstream table("/proc/net/udp");
    std::string line;
    std::getline(table, line); // the heading
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout, inode,
            references, pointer;
        std::uint64_t drops = 0;
        if (!(fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >>
              timeout >> inode >> references >> pointer >> drops))
            continue;
        const std::size_t colon = local.find(':');
        if (colon == std::string::npos)
            continue;
        if (std::stoul(local.substr(colon + 1), nullptr, 16) == port)
            return drops;
    }
    return std::nullopt;
}

std::size_t raiseOpenFileLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return 0;
    if (limit.rlim_cur != limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
        getrlimit(RLIMIT_NOFILE, &limit);
    }
    return limit.rlim_cur == RLIM_INFINITY ? static_cast<std::size_t>(-1)
                                           : static_cast<std::size_t>(limit.rlim_cur);
}

} // namespace reliability
