#include "local_time.h"

#include <atomic>

namespace mobilesensor {

namespace {
std::atomic<LocalTimeSource> source{&readLocalTime};
}

LocalTimeSource currentLocalTimeSource() { return source.load(std::memory_order_acquire); }

LocalTimeSource setLocalTimeSource(LocalTimeSource replacement) {
    return source.exchange(replacement != nullptr ? replacement : &readLocalTime,
                           std::memory_order_acq_rel);
}

} // namespace mobilesensor
