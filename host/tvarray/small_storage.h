#pragma once

// Storage for the elements of a host value that keeps up to N of them inside the
// value itself and puts only larger ones on the heap. Most host values are scalars
// or short rows (a converter makes several for every sensor reading, thousands a
// second), and one allocation per value instead of three is what makes them cheap.

#include <algorithm>
#include <cstddef>
#include <memory>

namespace korvex::tvarray {

template <class T, std::size_t N> class SmallStorage {
public:
    SmallStorage() = default;
    SmallStorage(const SmallStorage&) = delete;
    SmallStorage& operator=(const SmallStorage&) = delete;

    // count copies of value; throws std::bad_alloc, leaving the storage as it was.
    void assign(std::size_t count, const T& value) {
        if (count > N) {
            std::unique_ptr<T[]> elements(new T[count]);
            heap = std::move(elements);
        } else {
            heap.reset();
        }
        size_ = count;
        std::fill(data(), data() + count, value);
    }
    void assign(const T* first, std::size_t count) {
        assign(count, T());
        std::copy(first, first + count, data());
    }

    T* data() { return heap ? heap.get() : inlineElements; }
    const T* data() const { return heap ? heap.get() : inlineElements; }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    T& operator[](std::size_t i) { return data()[i]; }
    const T& operator[](std::size_t i) const { return data()[i]; }

private:
    // Aligned as operator new aligns, so that a caller may read elements in place.
    alignas(alignof(std::max_align_t)) T inlineElements[N] = {};
    std::unique_ptr<T[]> heap;
    std::size_t size_ = 0;
};

} // namespace korvex::tvarray
