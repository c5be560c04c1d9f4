#pragma once

#include "conduit/interfaces/property_info.h"

#include <functional>
#include <utility>

namespace korvex::host::contract {

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
