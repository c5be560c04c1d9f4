#pragma once

// Runs a program as a child process with its standard output and error captured,
// for tests that drive the stand-in host's programs from outside. A reader thread
// drains both pipes from the start, so a chatty child never blocks on a full pipe.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace kxtools {

struct ChildResult {
    bool exited = false;   // ended normally; exitCode is valid
    int exitCode = -1;     // the status it returned
    int signal = 0;        // the signal that ended it, when it did not exit
    bool timedOut = false; // it was killed because it outlived the wait
    std::string out;       // all of standard output
    std::string err;       // all of standard error
};

class ChildProcess {
public:
    // Starts arguments[0] (a path; no search of PATH) with the given arguments.
    // Throws std::runtime_error when the program cannot be started.
    explicit ChildProcess(const std::vector<std::string>& arguments);
    ~ChildProcess(); // kills a child still running, then reaps it

    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Sends SIGINT, as Ctrl-C in a terminal would.
    void interrupt();

    // Waits until standard output contains text; false when the time runs out or
    // the child closed its output first.
    bool waitForOutput(std::string_view text, std::chrono::milliseconds timeout);
    // The same for standard error.
    bool waitForError(std::string_view text, std::chrono::milliseconds timeout);
    // Waits until standard output holds at least count complete lines.
    bool waitForOutputLines(std::size_t count, std::chrono::milliseconds timeout);

    // Waits for the child to end; after timeout it is killed and timedOut is set.
    ChildResult wait(std::chrono::milliseconds timeout);

private:
    void drain(int outFd, int errFd);
    bool waitForText(const std::string& text, std::string_view wanted,
                     std::chrono::milliseconds timeout);
    void reap(bool blocking);

    int pid = -1;
    bool reaped = false;
    ChildResult result;
    std::mutex mutex;
    std::condition_variable changed;
    std::string outText;       // guarded by mutex
    std::string errText;       // guarded by mutex
    bool outputClosed = false; // guarded by mutex
    std::thread reader;
};

// Runs a program to its end (or until timeout) and returns what it did.
ChildResult runChild(const std::vector<std::string>& arguments,
                     std::chrono::milliseconds timeout = std::chrono::seconds(60));

} // namespace kxtools
