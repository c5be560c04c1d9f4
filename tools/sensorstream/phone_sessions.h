#pragma once

// The phones of a run: one sensor session (device plug-in, converter, channel) per
// phone, each on its own port, all writing into one reading queue whose buffers
// carry their phone's place in the list. The output thread takes them in the order
// they arrived, from every phone at once. Programs that show several phones
// (sensorstream, a live view) share it.

#include "phone_spec.h"
#include "reading_queue.h"
#include "sensor_session.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace sensorstream {

class PhoneSessions {
public:
    // Loads and initialises every phone's device (SensorSession). bind: the address
    // every device listens on ("" for every address). Throws std::runtime_error,
    // naming the phone when there are several, when a device refuses its options.
    PhoneSessions(const std::vector<PhoneSpec>& phones, const std::string& bind,
                  korvex::host::BatchLimits queueLimits);
    ~PhoneSessions(); // closes

    PhoneSessions(const PhoneSessions&) = delete;
    PhoneSessions& operator=(const PhoneSessions&) = delete;

    // Starts every device listening, in the order of the phones; returns their
    // ports. Throws std::runtime_error (naming the phone when there are several)
    // when a device bound none.
    const std::vector<std::uint16_t>& open();
    // Stops every device (no buffer is written after it returns), then closes the
    // queue: what is queued can still be taken.
    void close();

    std::size_t size() const { return sessions.size(); }
    SensorSession& session(std::size_t phone) { return *sessions.at(phone); }
    const SensorSession& session(std::size_t phone) const { return *sessions.at(phone); }
    const PhoneSpec& phone(std::size_t phone) const { return specs.at(phone); }
    const std::vector<PhoneSpec>& phones() const { return specs; }
    std::vector<std::string> names() const;
    // After open: the port each phone's device listens on.
    const std::vector<std::uint16_t>& ports() const { return listening; }
    ReadingQueue& readings() { return queue; }
    std::uint64_t buffersWritten() const; // by every device together

private:
    std::vector<PhoneSpec> specs;
    ReadingQueue queue; // before the sessions, whose channels write into it
    std::vector<std::unique_ptr<SensorSession>> sessions;
    std::vector<std::uint16_t> listening;
};

} // namespace sensorstream
