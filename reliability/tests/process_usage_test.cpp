#include "mobilesensor/device/testing/plugin_session.h"
#include "reliability/process_usage.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <filesystem>
#include <future>
#include <gtest/gtest.h>
#include <string>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

// The thread count that the fault and load tests compare before and after a stop:
// a thread that has not ended is counted whether it runs or waits, and a thread
// that was joined is not, however busy the machine (its task can stay listed in
// /proc for a moment after the join returns).

namespace {

using mobilesensor::testing::waitUntil;
using reliability::describe;
using reliability::liveThreads;
using reliability::threadCount;
using reliability::ThreadInfo;

long currentThreadId() { return static_cast<long>(::syscall(SYS_gettid)); }

// Starts and joins one thread: a runtime may start a thread of its own with the
// first thread the process makes (ThreadSanitizer does), to be there before counting.
void startTheRuntimesThreads() {
    std::thread([] {}).join();
}

bool lists(const std::vector<ThreadInfo>& threads, long id) {
    return std::any_of(threads.begin(), threads.end(),
                       [id](const ThreadInfo& thread) { return thread.id == id; });
}

TEST(ThreadCount, ThreadsThatHaveNotEndedAreCountedWaitingOrRunning) {
    startTheRuntimesThreads();
    const std::size_t before = threadCount();
    std::promise<long> waiterStarted;
    std::promise<void> release;
    std::thread waiter([&] {
        waiterStarted.set_value(currentThreadId());
        release.get_future().wait();
    });
    std::promise<long> spinnerStarted;
    std::atomic<bool> stop{false};
    std::thread spinner([&] {
        spinnerStarted.set_value(currentThreadId());
        while (!stop) {
        }
    });
    const long waiterId = waiterStarted.get_future().get();
    const long spinnerId = spinnerStarted.get_future().get();

    // Left running past the point where a stop would have joined them: both count.
    const std::vector<ThreadInfo> threads = liveThreads();
    EXPECT_EQ(before + 2, threads.size()) << describe(threads);
    EXPECT_TRUE(lists(threads, waiterId)) << describe(threads);
    EXPECT_TRUE(lists(threads, spinnerId)) << describe(threads);
    EXPECT_TRUE(lists(threads, currentThreadId())) << describe(threads);

    release.set_value();
    stop = true;
    waiter.join();
    spinner.join();
    EXPECT_EQ(before, threadCount()) << describe(liveThreads());
}

TEST(ThreadCount, AJoinedThreadIsNeverCounted) {
    // On a busy machine one join in a thousand to ten thousand returns while the task
    // is still listed; a thousand joins show a count that includes it now and then.
    startTheRuntimesThreads();
    const std::size_t before = threadCount();
    for (int join = 0; join < 1000; ++join) {
        std::thread([] {}).join();
        const std::vector<ThreadInfo> threads = liveThreads();
        ASSERT_EQ(before, threads.size()) << "after join " << join << ": " << describe(threads);
    }
}

TEST(ThreadCount, AThreadThatHasExitedButIsNotReapedIsNotCounted) {
    // A process whose first thread has ended while another still waits: the first
    // stays listed as a zombie until the whole process ends.
    const pid_t child = ::fork();
    ASSERT_NE(-1, child);
    if (child == 0) {
        std::thread([] {
            for (;;)
                ::pause();
        }).detach();
        ::syscall(SYS_exit, 0); // this thread only, not the process
    }
    const std::string tasks = "/proc/" + std::to_string(child) + "/task";
    const auto listed = [&] {
        std::size_t count = 0;
        std::error_code failure;
        for (auto entry = std::filesystem::directory_iterator(tasks, failure);
             !failure && entry != std::filesystem::directory_iterator(); entry.increment(failure))
            ++count;
        return count;
    };
    std::size_t count = 0;
    std::vector<ThreadInfo> threads;
    // Once the first thread has ended: listed, but not among the live ones, which
    // are every other thread listed (the waiting one, and a runtime's if any).
    const bool settled = waitUntil([&] {
        count = listed();
        threads = liveThreads(tasks);
        return count == threads.size() + 1 && !threads.empty() && !lists(threads, child);
    });
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);

    EXPECT_TRUE(settled) << count << " threads listed, alive: " << describe(threads);
}

} // namespace
