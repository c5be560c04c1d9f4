#pragma once

// A descriptor that another thread makes readable, so that a thread blocked in
// poll() on its sockets also wakes for work handed to it.

namespace sensorstream {

class WakeSignal {
public:
    WakeSignal(); // throws std::system_error when the system has no descriptor to give
    ~WakeSignal();

    WakeSignal(const WakeSignal&) = delete;
    WakeSignal& operator=(const WakeSignal&) = delete;

    // Any thread: makes the descriptor readable (once, however often it is raised).
    void raise();
    // The waiting thread, after poll() saw it readable.
    void clear();
    int descriptor() const { return fd; }

private:
    int fd;
};

} // namespace sensorstream
