#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <new>
#include <ostream>
#include <random>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

// Helpers of the pixcore tests: random frames, frame shapes, and buffers that sit
// right against an inaccessible page, so that a read or write past either end of
// a frame faults at once (with or without AddressSanitizer).

namespace webcam::testing_support {

struct Shape {
    std::size_t height;
    std::size_t width;
};

inline std::ostream& operator<<(std::ostream& out, const Shape& shape) {
    return out << shape.height << "x" << shape.width;
}

// Shapes around every block, tile and edge case of the kernels: empty, single
// rows and columns, odd sizes, sizes just below and above the 16-row blocks and
// the 256-pixel tiles, and common camera sizes.
inline std::vector<Shape> shapesToCompare() {
    return {{0, 7},     {7, 0},     {0, 0},     {1, 1},     {1, 2},     {2, 1},    {2, 2},
            {1, 37},    {37, 1},    {3, 5},     {15, 7},    {15, 8},    {16, 7},   {16, 8},
            {16, 9},    {16, 10},   {16, 11},   {16, 15},   {16, 16},   {17, 33},  {31, 9},
            {33, 17},   {47, 13},   {18, 40},   {64, 48},   {100, 3},   {3, 100},  {255, 257},
            {257, 255}, {256, 256}, {300, 301}, {271, 513}, {120, 160}, {480, 640}};
}

inline std::vector<std::uint8_t> randomBytes(std::size_t count, std::uint32_t seed) {
    std::mt19937 generator(seed);
    std::vector<std::uint8_t> bytes(count);
    std::size_t i = 0;
    for (; i + 4 <= count; i += 4) {
        const auto word = static_cast<std::uint32_t>(generator());
        for (std::size_t k = 0; k < 4; ++k)
            bytes[i + k] = static_cast<std::uint8_t>(word >> (8 * k));
    }
    for (; i < count; ++i)
        bytes[i] = static_cast<std::uint8_t>(generator());
    return bytes;
}

// Bytes placed directly after (Edge::Start) or before (Edge::End) a page that may
// not be touched; the page on the other side is guarded too.
class GuardedBytes {
public:
    enum class Edge { Start, End };

    GuardedBytes(std::size_t size, Edge edge) : size_(size) {
        const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
        const std::size_t span = (size + page - 1) / page * page;
        length_ = span + 2 * page;
        void* base =
            mmap(nullptr, length_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (base == MAP_FAILED)
            throw std::bad_alloc();
        base_ = static_cast<std::uint8_t*>(base);
        mprotect(base_, page, PROT_NONE);
        mprotect(base_ + page + span, page, PROT_NONE);
        data_ = edge == Edge::Start ? base_ + page : base_ + page + span - size;
    }
    ~GuardedBytes() { munmap(base_, length_); }
    GuardedBytes(const GuardedBytes&) = delete;
    GuardedBytes& operator=(const GuardedBytes&) = delete;

    std::uint8_t* data() { return data_; }
    std::size_t size() const { return size_; }
    std::vector<std::uint8_t> copy() const { return {data_, data_ + size_}; }
    void fill(const std::vector<std::uint8_t>& bytes) {
        std::copy(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size_), data_);
    }

private:
    std::uint8_t* base_ = nullptr;
    std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t length_ = 0;
};

} // namespace webcam::testing_support
