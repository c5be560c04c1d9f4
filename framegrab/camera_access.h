#pragma once

#include <chrono>
#include <functional>
#include <future>

// Whether this process may use a camera, and the one question the system may ask
// the user about it. The macOS controller reads the facts from AVFoundation and the
// host's bundle; the decisions are kept here, apart from the frameworks.

namespace framegrab {

// The system's answer on camera use for this process. The values are
// AVAuthorizationStatus's; any other value grants nothing.
enum class CameraAuthorization : long {
    NotDetermined = 0,
    Restricted = 1,
    Denied = 2,
    Authorized = 3,
};

// What the host program says about itself. A program that has an Info.plist of
// its own (a bundle identifier) must explain its camera use there: the system
// ends a program that asks without the explanation. A bare program has no
// Info.plist; the system asks on behalf of the application that started it (a
// terminal), which carries its own explanation.
struct HostBundle {
    bool named = false;             // has a bundle identifier
    bool declaresCameraUse = false; // has a non-empty NSCameraUsageDescription
};

enum class CameraAccess {
    Granted, // use the camera
    Ask,     // ask the user, then decide on the answer
    Refused, // report the camera inaccessible without touching it
};

// questionPending: a question asked by an earlier open has not been answered yet
// (its dialog is still up); asking again would only wait once more.
CameraAccess decideCameraAccess(CameraAuthorization status, const HostBundle& host,
                                bool questionPending);

// The user's answer to the system's camera question. The system answers once, on
// a thread of its choosing, possibly long after the asker stopped waiting; such a
// late answer still closes the question, so the next open reads the new status
// instead of asking again. Every member runs on the host control thread; only the
// answer function handed to the asker may run anywhere.
class AccessQuestion {
public:
    using Answer = std::function<void(bool granted)>;
    // Puts the question to the system and hands it the answer function.
    using Asker = std::function<void(Answer answer)>;

    // True when the answer "granted" arrives within limit; false when the user
    // refuses, does not answer in time, or the answer function is dropped unused.
    // What the asker throws passes through, and no question is then pending.
    bool ask(const Asker& asker, std::chrono::milliseconds limit);

    // A question asked earlier still waits for its answer.
    bool pending() const;

private:
    std::shared_future<bool> answer;
};

} // namespace framegrab
