#pragma once

#include "../interfaces/channel.h"
#include "channel_calls.h"
#include "message_info.h"

#include <exception>
#include <new>
#include <string>
#include <type_traits>
#include <utility>

// The one catch ladder at the plug-in boundary. The host is not prepared for an
// exception from a plug-in, and one that unwinds through the host's or a platform's
// C frames is undefined behaviour; so every entry point of a plug-in (factories,
// interface operations, extension entries, callbacks from other threads) runs its
// body through guarded. The ladder says once what was caught; each entry point says
// what a failure becomes: devices post an error message, the others report nothing
// and give their fallback answer.

namespace conduit::kit {

// What the body of an entry point threw.
struct Failure {
    enum Kind { OUT_OF_MEMORY, EXCEPTION, UNKNOWN };
    Kind kind;
    // The exception's own text for EXCEPTION, else null; valid during the report only.
    const char* what;
};

namespace detail {
// A report that throws in turn is stopped too: there is nobody left to tell.
template <class Report> void tell(Report& report, const Failure& failure) noexcept {
    try {
        report(failure);
    } catch (...) {
    }
}
} // namespace detail

// Runs body; when it throws, report learns what was caught. Nothing leaves this
// call as an exception.
template <class Body, class Report> void guarded(Body&& body, Report&& report) noexcept {
    try {
        std::forward<Body>(body)();
    } catch (const std::bad_alloc&) {
        detail::tell(report, {Failure::OUT_OF_MEMORY, nullptr});
    } catch (const std::exception& error) {
        detail::tell(report, {Failure::EXCEPTION, error.what()});
    } catch (...) {
        detail::tell(report, {Failure::UNKNOWN, nullptr});
    }
}

// The same for a body with an answer: what body returns, or fallback when it threw.
template <class Result, class Body, class Report>
Result guarded(Result fallback, Body&& body, Report&& report) noexcept {
    static_assert(std::is_nothrow_move_assignable_v<Result> &&
                      std::is_nothrow_move_constructible_v<Result>,
                  "the answer must reach the caller without throwing");
    guarded([&] { fallback = std::forward<Body>(body)(); }, report);
    return fallback;
}

// The report of converters, filters, factories and extensions, which tell the user
// nothing: the fallback answer is the whole report.
inline void unreported(const Failure&) noexcept {}

// An entry point that answers an object or a host value: what body returns, or null
// when it threw.
template <class Body> auto orNull(Body&& body) noexcept -> decltype(body()) {
    using Result = decltype(body());
    static_assert(std::is_pointer_v<Result>, "orNull is for bodies that answer a pointer");
    return guarded<Result>(nullptr, std::forward<Body>(body), unreported);
}

// A factory export: object receives what make returns, or null when making it
// threw; the answer says whether there is an object.
template <class Interface, class Make> bool makeObject(Interface*& object, Make&& make) noexcept {
    object = guarded<Interface*>(nullptr, std::forward<Make>(make), unreported);
    return object != nullptr;
}

} // namespace conduit::kit

namespace conduit::kit::device {

// What a device posts when one of its entry points failed: its
// "KORVEX:<component>:runtimeError" identifier and a text for each kind of failure.
struct FailureMessage {
    std::string id;
    // For a std::exception; null posts the exception's own text.
    const char* exceptionText = nullptr;
    // std::bad_alloc says only its own class name.
    const char* outOfMemoryText = "Out of memory.";
    const char* unknownText = "An unexpected error occurred.";

    const char* textFor(const Failure& failure) const noexcept {
        switch (failure.kind) {
        case Failure::OUT_OF_MEMORY:
            return outOfMemoryText;
        case Failure::EXCEPTION:
            if (exceptionText != nullptr)
                return exceptionText;
            return failure.what != nullptr ? failure.what : unknownText;
        case Failure::UNKNOWN:
            break;
        }
        return unknownText;
    }
};

// A device entry point: runs body; what it throws is posted on channel as an "error"
// message, and the entry point returns normally.
template <class Body>
void guarded(interfaces::channel::IControl& channel, const FailureMessage& message,
             Body&& body) noexcept {
    kit::guarded(std::forward<Body>(body), [&](const Failure& failure) {
        postMessage<ErrorInfo>(channel, message.id, message.textFor(failure));
    });
}

} // namespace conduit::kit::device
