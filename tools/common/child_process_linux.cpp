#include "child_process.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace kxtools {

namespace {

// A pipe whose ends are closed on exec, so no other child inherits them.
void makePipe(int fds[2]) {
    if (::pipe2(fds, O_CLOEXEC) != 0)
        throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
}

void closeFd(int& fd) {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

} // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& arguments) {
    if (arguments.empty())
        throw std::runtime_error("no program to run");
    // Everything the child needs is prepared before fork: between fork and exec
    // only async-signal-safe calls are allowed in a multi-threaded process.
    std::vector<char*> argv;
    for (const auto& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    int out[2], err[2], status[2];
    makePipe(out);
    makePipe(err);
    makePipe(status);
    pid = ::fork();
    if (pid < 0) {
        const int error = errno;
        for (int fd : {out[0], out[1], err[0], err[1], status[0], status[1]})
            ::close(fd);
        throw std::runtime_error(std::string("fork: ") + std::strerror(error));
    }
    if (pid == 0) {
        // A group of its own, so that a kill also reaches whatever the child started
        // (a shell's children would otherwise hold the output pipes open).
        ::setpgid(0, 0);
        ::dup2(out[1], STDOUT_FILENO);
        ::dup2(err[1], STDERR_FILENO);
        ::execv(argv[0], argv.data());
        // Tell the parent why exec failed through the status pipe, then leave.
        const int error = errno;
        ssize_t ignored = ::write(status[1], &error, sizeof error);
        (void)ignored;
        ::_exit(127);
    }
    // Set the group from this side too, so a kill right after fork reaches it.
    ::setpgid(pid, pid);
    ::close(out[1]);
    ::close(err[1]);
    ::close(status[1]);

    // The status pipe closes on a successful exec and carries errno otherwise.
    int execError = 0;
    ssize_t got;
    do {
        got = ::read(status[0], &execError, sizeof execError);
    } while (got < 0 && errno == EINTR);
    ::close(status[0]);
    if (got == static_cast<ssize_t>(sizeof execError)) {
        ::close(out[0]);
        ::close(err[0]);
        ::waitpid(pid, nullptr, 0);
        reaped = true;
        throw std::runtime_error("cannot run " + arguments[0] + ": " + std::strerror(execError));
    }
    reader = std::thread([this, outFd = out[0], errFd = err[0]] { drain(outFd, errFd); });
}

ChildProcess::~ChildProcess() {
    if (!reaped) {
        ::kill(-pid, SIGKILL);
        reap(true);
    }
    if (reader.joinable())
        reader.join();
}

void ChildProcess::drain(int outFd, int errFd) {
    pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
    int open = 2;
    while (open > 0) {
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        for (auto& fd : fds) {
            if (fd.fd < 0 || fd.revents == 0)
                continue;
            char chunk[4096];
            const ssize_t got = ::read(fd.fd, chunk, sizeof chunk);
            if (got < 0 && errno == EINTR)
                continue;
            std::lock_guard<std::mutex> lock(mutex);
            if (got <= 0) {
                closeFd(fd.fd);
                --open;
            } else {
                (fd.fd == outFd ? outText : errText).append(chunk, static_cast<std::size_t>(got));
            }
            changed.notify_all();
        }
    }
    for (auto& fd : fds)
        closeFd(fd.fd);
    std::lock_guard<std::mutex> lock(mutex);
    outputClosed = true;
    changed.notify_all();
}

void ChildProcess::interrupt() {
    if (!reaped)
        ::kill(pid, SIGINT);
}

bool ChildProcess::waitForOutput(std::string_view text, std::chrono::milliseconds timeout) {
    return waitForText(outText, text, timeout);
}

bool ChildProcess::waitForError(std::string_view text, std::chrono::milliseconds timeout) {
    return waitForText(errText, text, timeout);
}

// text is outText or errText, read under the lock.
bool ChildProcess::waitForText(const std::string& text, std::string_view wanted,
                               std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, timeout, [&] {
        return text.find(wanted) != std::string::npos || outputClosed;
    }) && text.find(wanted) != std::string::npos;
}

bool ChildProcess::waitForOutputLines(std::size_t count, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex);
    std::size_t counted = 0;
    std::size_t scanned = 0; // lines are counted once, as the text grows
    const auto enough = [&] {
        for (; scanned < outText.size(); ++scanned)
            counted += outText[scanned] == '\n' ? 1 : 0;
        return counted >= count;
    };
    return changed.wait_for(lock, timeout, [&] { return enough() || outputClosed; }) && enough();
}

void ChildProcess::reap(bool blocking) {
    int status = 0;
    pid_t done;
    do {
        done = ::waitpid(pid, &status, blocking ? 0 : WNOHANG);
    } while (done < 0 && errno == EINTR);
    if (done != pid)
        return;
    reaped = true;
    if (WIFEXITED(status)) {
        result.exited = true;
        result.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
}

ChildResult ChildProcess::wait(std::chrono::milliseconds timeout) {
    // The child's end closes its pipes, so the reader finishing is the signal to
    // reap; a child that closes its output early is caught by the deadline.
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait_until(lock, deadline, [this] { return outputClosed; });
    }
    while (!reaped) {
        reap(false);
        if (reaped)
            break;
        if (std::chrono::steady_clock::now() >= deadline) {
            result.timedOut = true;
            ::kill(-pid, SIGKILL);
            reap(true);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (reader.joinable())
        reader.join();
    std::lock_guard<std::mutex> lock(mutex);
    result.out = outText;
    result.err = errText;
    return result;
}

ChildResult runChild(const std::vector<std::string>& arguments, std::chrono::milliseconds timeout) {
    ChildProcess child(arguments);
    return child.wait(timeout);
}

} // namespace kxtools
