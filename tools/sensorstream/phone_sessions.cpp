#include "phone_sessions.h"

#include <exception>
#include <stdexcept>

namespace sensorstream {

namespace {

// With several phones the message names the one whose device failed.
[[noreturn]] void failFor(const std::vector<PhoneSpec>& phones, std::size_t phone,
                          const std::exception& error) {
    if (phones.size() == 1)
        throw std::runtime_error(error.what());
    throw std::runtime_error("phone '" + phones[phone].name + "': " + error.what());
}

} // namespace

PhoneSessions::PhoneSessions(const std::vector<PhoneSpec>& phones, const std::string& bind,
                             korvex::host::BatchLimits queueLimits)
    : specs(phones), queue(queueLimits) {
    if (phones.empty() || phones.size() > UINT16_MAX)
        throw std::invalid_argument("a run has 1 to 65535 phones");
    for (std::size_t i = 0; i < phones.size(); ++i) {
        try {
            sessions.push_back(std::make_unique<SensorSession>(
                phones[i], static_cast<std::uint16_t>(i), bind, queue));
        } catch (const std::exception& error) {
            failFor(phones, i, error);
        }
    }
}

PhoneSessions::~PhoneSessions() {
    try {
        close();
    } catch (...) {
        queue.close(); // the sessions term their devices all the same
    }
}

const std::vector<std::uint16_t>& PhoneSessions::open() {
    listening.clear();
    for (std::size_t i = 0; i < sessions.size(); ++i) {
        try {
            listening.push_back(sessions[i]->open());
        } catch (const std::exception& error) {
            failFor(specs, i, error);
        }
    }
    return listening;
}

void PhoneSessions::close() {
    // Every device first: a device's thread may wait in the queue for room, which
    // the output thread makes until the queue closes. One device failing to close
    // does not keep the others open.
    std::exception_ptr failure;
    for (auto& session : sessions) {
        try {
            session->close();
        } catch (...) {
            if (!failure)
                failure = std::current_exception();
        }
    }
    queue.close();
    if (failure)
        std::rethrow_exception(failure);
}

std::vector<std::string> PhoneSessions::names() const {
    std::vector<std::string> result;
    for (const auto& phone : specs)
        result.push_back(phone.name);
    return result;
}

std::uint64_t PhoneSessions::buffersWritten() const {
    std::uint64_t total = 0;
    for (const auto& session : sessions)
        total += session->buffersWritten();
    return total;
}

} // namespace sensorstream
