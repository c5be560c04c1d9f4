#pragma once

#include "thread_annotations.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

// A mutex and its scoped lock that the thread-safety analysis understands: the
// standard library's std::mutex carries no capability attribute in libstdc++, so
// members guarded by one could not be checked.

namespace conduit::kit {

class KX_CAPABILITY("mutex") Mutex {
public:
    Mutex() = default;
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;

    void lock() KX_ACQUIRE() { mutex.lock(); }
    void unlock() KX_RELEASE() { mutex.unlock(); }

private:
    friend class MutexLock;
    std::mutex mutex;
};

// Holds a Mutex for its lifetime, like std::unique_lock, and waits on condition
// variables with it.
class KX_SCOPED_CAPABILITY MutexLock {
public:
    explicit MutexLock(Mutex& mutex) KX_ACQUIRE(mutex) : lock(mutex.mutex) {}
    ~MutexLock() KX_RELEASE() {}
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;

    // Waits until ready() answers true or timeout has passed, and answers ready(). The
    // mutex is held whenever ready runs: declare it KX_REQUIRES(the mutex).
    template <class Rep, class Period, class Ready>
    bool waitFor(std::condition_variable& condition,
                 const std::chrono::duration<Rep, Period>& timeout, Ready ready) {
        return condition.wait_for(lock, timeout, ready);
    }

private:
    std::unique_lock<std::mutex> lock;
};

} // namespace conduit::kit
