#pragma once

#include "conduit/interfaces/property_info.h"
#include "conduit/kit/boundary.h"

#include <functional>
#include <new>
#include <stdexcept>
#include <utility>
#include <vector>

// What a host's object can throw into a plug-in, one of each kind, to check that
// nothing crosses back into the host.

namespace korvex::host::contract {

// Something thrown that is no std::exception.
struct OddFailure {};

struct ThrownFailure {
    const char* label;
    std::function<void()> raise;
    // What the plug-in's catch ladder makes of it.
    conduit::kit::Failure::Kind kind;
    // The exception's own text, or null.
    const char* what;
};

inline const std::vector<ThrownFailure>& everyKindOfFailure() {
    using conduit::kit::Failure;
    static const std::vector<ThrownFailure> kinds = {
        {"bad_alloc", [] { throw std::bad_alloc(); }, Failure::OUT_OF_MEMORY, nullptr},
        // Derived from bad_alloc: out of memory too, not its what().
        {"bad_array_new_length", [] { throw std::bad_array_new_length(); }, Failure::OUT_OF_MEMORY,
         nullptr},
        {"runtime_error", [] { throw std::runtime_error("The option cannot be read."); },
         Failure::EXCEPTION, "The option cannot be read."},
        {"length_error", [] { throw std::length_error("Too long."); }, Failure::EXCEPTION,
         "Too long."},
        {"int", [] { throw 7; }, Failure::UNKNOWN, nullptr},
        {"another class", [] { throw OddFailure(); }, Failure::UNKNOWN, nullptr},
    };
    return kinds;
}

// A host option that throws whatever raise throws when it is asked its name, so that
// every option lookup of a plug-in meets the failure. Released with destroy().
class UnreadableOption final : public conduit::interfaces::IPropertyInfo {
public:
    explicit UnreadableOption(std::function<void()> raiseFailure)
        : raise(std::move(raiseFailure)) {}
    const char* getName() const override {
        raise();
        return "";
    }
    void destroy() override { delete this; }

private:
    ~UnreadableOption() override = default;
    std::function<void()> raise;
};

} // namespace korvex::host::contract
