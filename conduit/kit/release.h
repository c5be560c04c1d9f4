#pragma once

#include <type_traits>
#include <utility>

// Releasing objects that crossed the plug-in boundary. A virtual call through a
// null pointer is undefined, so every release goes through these helpers, which
// skip null. Devices and filters end with term(), everything else with destroy().

namespace conduit::kit {

namespace detail {
template <class T, class = void> struct HasTerm : std::false_type {};
template <class T>
struct HasTerm<T, std::void_t<decltype(std::declval<T&>().term())>> : std::true_type {};
} // namespace detail

template <class T> void release(T* object) {
    if (object == nullptr)
        return;
    if constexpr (detail::HasTerm<T>::value)
        object->term();
    else
        object->destroy();
}

// Deleter for std::unique_ptr that releases through destroy() or term().
struct Releaser {
    template <class T> void operator()(T* object) const { release(object); }
};

} // namespace conduit::kit
