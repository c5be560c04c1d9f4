#pragma once

// The messages a device posted that Python has not been given yet. A wait looks
// for them without the interpreter lock (a message ends the wait, so that an error
// is raised instead of a silent wait); Python takes them with it.

#include "host/channel.h"

#include <functional>
#include <mutex>
#include <utility>
#include <vector>

namespace kx {

class DeviceNews {
public:
    // fetch returns the messages posted since its last call (a session's newMessages).
    explicit DeviceNews(std::function<std::vector<korvex::host::Message>()> fetch)
        : fetchNew(std::move(fetch)) {}

    // Any thread: true when messages wait to be taken.
    bool any() {
        std::lock_guard<std::mutex> lock(mutex);
        for (auto& message : fetchNew())
            waiting.push_back(std::move(message));
        return !waiting.empty();
    }

    // The waiting messages, oldest first; none wait afterwards.
    std::vector<korvex::host::Message> take() {
        any();
        std::lock_guard<std::mutex> lock(mutex);
        return std::exchange(waiting, {});
    }

private:
    std::function<std::vector<korvex::host::Message>()> fetchNew;
    std::mutex mutex;
    std::vector<korvex::host::Message> waiting; // guarded by mutex
};

} // namespace kx
