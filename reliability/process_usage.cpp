#include "process_usage.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <sstream>
#include <string_view>
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

// The kernel's flag of a task that has entered its exit (PF_EXITING in
// include/linux/sched.h), in the ninth field of /proc/<pid>/task/<tid>/stat.
constexpr unsigned long TASK_EXITING = 0x4;

struct TaskStat {
    ThreadInfo thread;
    bool exiting = false;
};

// "tid (name) state ppid pgrp session tty tpgid flags ...": the name may hold spaces
// and parentheses, so the fields after it are found from its last ')'. Empty when the
// task was gone before it could be read.
std::optional<TaskStat> readTaskStat(const fs::path& taskDirectory) {
    std::ifstream file(taskDirectory / "stat");
    std::string line;
    if (!std::getline(file, line))
        return std::nullopt;
    const std::size_t open = line.find(" (");
    const std::size_t close = line.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open)
        return std::nullopt;
    std::istringstream rest(line.substr(close + 1));
    TaskStat task;
    long parent = 0, group = 0, session = 0, terminal = 0, terminalGroup = 0;
    unsigned long flags = 0;
    if (!(rest >> task.thread.state >> parent >> group >> session >> terminal >> terminalGroup >>
          flags))
        return std::nullopt;
    task.thread.id = std::stol(line.substr(0, open));
    task.thread.name = line.substr(open + 2, close - open - 2);
    // A zombie or a task on its way to the reaper has begun to exit even if a kernel
    // ever listed it without the flag.
    task.exiting = (flags & TASK_EXITING) != 0 || task.thread.state == 'Z' ||
                   task.thread.state == 'X' || task.thread.state == 'x';
    return task;
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

std::vector<ThreadInfo> liveThreads(const std::string& taskDirectory) {
    std::vector<ThreadInfo> threads;
    std::error_code failure;
    for (const auto& entry : fs::directory_iterator(taskDirectory, failure)) {
        const std::optional<TaskStat> task = readTaskStat(entry.path());
        if (task && !task->exiting)
            threads.push_back(task->thread);
    }
    std::sort(threads.begin(), threads.end(),
              [](const ThreadInfo& a, const ThreadInfo& b) { return a.id < b.id; });
    return threads;
}

std::size_t threadCount() { return liveThreads().size(); }

std::string describe(const std::vector<ThreadInfo>& threads) {
    std::string text;
    for (const ThreadInfo& thread : threads)
        text += (text.empty() ? "" : ", ") + std::to_string(thread.id) + " " + thread.name + " " +
                thread.state;
    return text;
}

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
