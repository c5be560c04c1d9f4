#pragma once

#include <utility>

namespace lenslist {

// Holds one COM reference and releases it once, when the holder goes. Move-only.
template <class Interface> class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { reset(); }
    ComPtr(ComPtr&& other) noexcept : pointer(std::exchange(other.pointer, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            reset();
            pointer = std::exchange(other.pointer, nullptr);
        }
        return *this;
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;

    Interface* get() const { return pointer; }
    Interface* operator->() const { return pointer; }
    explicit operator bool() const { return pointer != nullptr; }

    // Address for an out parameter that hands over a reference; releases the
    // reference held so far.
    Interface** put() {
        reset();
        return &pointer;
    }

    void reset() {
        if (pointer != nullptr)
            std::exchange(pointer, nullptr)->Release();
    }

private:
    Interface* pointer = nullptr;
};

} // namespace lenslist
