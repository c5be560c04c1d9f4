#include "camera_access.h"

#include <memory>

namespace framegrab {

CameraAccess decideCameraAccess(CameraAuthorization status, const HostBundle& host,
                                bool questionPending) {
    switch (status) {
    case CameraAuthorization::Authorized:
        return CameraAccess::Granted;
    case CameraAuthorization::NotDetermined:
        // Asking without the explanation gets the host killed by the system.
        if (host.named && !host.declaresCameraUse)
            return CameraAccess::Refused;
        return questionPending ? CameraAccess::Refused : CameraAccess::Ask;
    case CameraAuthorization::Restricted:
    case CameraAuthorization::Denied:
        return CameraAccess::Refused;
    }
    return CameraAccess::Refused;
}

bool AccessQuestion::ask(const Asker& asker, std::chrono::milliseconds limit) {
    // The answer function alone owns the promise: it may outlive this call and this
    // object, and when the system drops it unused, the wait below ends at once.
    auto promise = std::make_shared<std::promise<bool>>();
    std::shared_future<bool> reply = promise->get_future().share();
    asker([promise = std::move(promise)](bool granted) {
        try {
            promise->set_value(granted);
        } catch (const std::future_error&) {
            // A second answer changes nothing.
        }
    });
    answer = reply;
    if (reply.wait_for(limit) != std::future_status::ready)
        return false;
    try {
        return reply.get();
    } catch (const std::future_error&) {
        // Dropped without an answer (a broken promise): nothing was granted.
        return false;
    }
}

bool AccessQuestion::pending() const {
    return answer.valid() && answer.wait_for(std::chrono::seconds(0)) != std::future_status::ready;
}

} // namespace framegrab
