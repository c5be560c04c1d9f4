#pragma once

#include "conduit/interfaces/property_list.h"
#include "conduit/kit/release.h"
#include "conduit/kit/scalar_property.h"
#include "conduit/kit/ustring.h"
#include "conduit/kit/vector_property.h"

#include <optional>
#include <string>
#include <vector>

// Property lists on the host's side: the options the host passes to a plug-in and
// the list a device publishes into. Both own their elements and release them with
// destroy() when they go.

namespace korvex::host {

class PropertyListOwner {
public:
    PropertyListOwner() = default;
    ~PropertyListOwner() { clear(); }
    PropertyListOwner(const PropertyListOwner&) = delete;
    PropertyListOwner& operator=(const PropertyListOwner&) = delete;

    // Appends a TScalarProperty<T> made by the host.
    template <class T> PropertyListOwner& set(const char* name, T value) {
        return add(new conduit::kit::device::TScalarProperty<T>(name, value));
    }
    PropertyListOwner& set(const char* name, const char* value) {
        return set<std::string>(name, std::string(value));
    }
    // Appends a property and takes ownership of it.
    PropertyListOwner& add(conduit::interfaces::IPropertyInfo* property) {
        try {
            list_.push_back(property);
        } catch (...) {
            conduit::kit::release(property);
            throw;
        }
        return *this;
    }

    conduit::interfaces::device::PropertyList& list() { return list_; }
    const conduit::interfaces::device::PropertyList& list() const { return list_; }
    operator const conduit::interfaces::device::PropertyList&() const { return list_; }

    std::size_t size() const { return list_.size(); }
    conduit::interfaces::IPropertyInfo* operator[](std::size_t i) const { return list_[i]; }
    std::vector<std::string> names() const {
        std::vector<std::string> all;
        for (const auto* property : list_)
            all.emplace_back(property->getName());
        return all;
    }
    // First element of that name, or null.
    conduit::interfaces::IPropertyInfo* find(const std::string& name) const {
        for (auto* property : list_) {
            if (name == property->getName())
                return property;
        }
        return nullptr;
    }

    void clear() {
        for (auto* property : list_)
            conduit::kit::release(property);
        list_.clear();
    }

private:
    conduit::interfaces::device::PropertyList list_;
};

using Options = PropertyListOwner;

// The value of a property when it is a TScalarProperty<T> (of any module).
template <class T>
std::optional<T> scalarValue(const conduit::interfaces::IPropertyInfo* property) {
    const auto* scalar = dynamic_cast<const conduit::kit::device::TScalarProperty<T>*>(property);
    if (scalar == nullptr)
        return std::nullopt;
    return scalar->value;
}

// The values of a property when it is a TVectorProperty<T> (of any module).
template <class T>
std::optional<std::vector<T>> vectorValue(const conduit::interfaces::IPropertyInfo* property) {
    const auto* vector = dynamic_cast<const conduit::kit::device::TVectorProperty<T>*>(property);
    if (vector == nullptr)
        return std::nullopt;
    return std::vector<T>(vector->values, vector->values + vector->count);
}

} // namespace korvex::host
