#pragma once

#include "host/channel.h"
#include "mobilesensor/device/testing/sample_view.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

// Takes every buffer a device writes into a channel (as the channel's buffer
// handler), checks and counts it, and releases it at once: each buffer is released
// exactly once, here. Checks: the buffer carries a tag (sensor_apps.h) from sender
// 1, sequences rise, and the device was not closed. Optionally keeps a description
// of every buffer. Callbacks only record; tests read the ledger on their thread.

namespace reliability {

class BufferLedger {
public:
    // Installs itself as channel's buffer handler; the destructor removes it. Declare
    // it after the channel and before the device that writes.
    explicit BufferLedger(korvex::host::Channel& channel, bool keepSamples = false);
    ~BufferLedger();
    BufferLedger(const BufferLedger&) = delete;
    BufferLedger& operator=(const BufferLedger&) = delete;

    // From now on, buffers arriving count as arriving while the device was closed
    // (true) or open (false).
    void setClosed(bool closed);
    // Makes the next buffers wait in the handler until release(), as a host that
    // stalls: the device's thread waits with them and its socket's queue fills.
    void hold();
    void release();

    struct Totals {
        std::uint64_t buffers = 0;       // every buffer written
        std::uint64_t untagged = 0;      // without a tag (another kind of buffer)
        std::uint64_t foreignSender = 0; // tagged by a sender other than 1
        std::uint64_t outOfOrder = 0;    // sender 1's sequence did not rise
        std::uint64_t afterClose = 0;    // written while the device was closed
        std::uint64_t lastSequence = 0;  // of sender 1
    };
    Totals totals() const;
    std::vector<mobilesensor::testing::Sample> samples() const;

private:
    bool take(korvex::host::BufferPtr buffer);

    korvex::host::Channel& channel_;
    const bool keepSamples_;
    mutable std::mutex mutex_;
    std::condition_variable released_;
    bool held_ = false;
    bool closed_ = false;
    bool anySequence_ = false;
    Totals totals_;
    std::vector<mobilesensor::testing::Sample> samples_;
};

} // namespace reliability
