#include "wake_signal.h"

#include <cerrno>
#include <cstdint>
#include <sys/eventfd.h>
#include <system_error>
#include <unistd.h>

namespace sensorstream {

WakeSignal::WakeSignal() : fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (fd < 0)
        throw std::system_error(errno, std::generic_category(), "eventfd");
}

WakeSignal::~WakeSignal() { ::close(fd); }

void WakeSignal::raise() {
    const std::uint64_t one = 1;
    // A full counter (never reached) or an interrupted write still leaves it readable.
    [[maybe_unused]] const ssize_t written = ::write(fd, &one, sizeof one);
}

void WakeSignal::clear() {
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t got = ::read(fd, &count, sizeof count);
}

} // namespace sensorstream
