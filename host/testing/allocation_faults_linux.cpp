// Replacements of operator new and of the host array calls that allocate. Each
// asks the countdown first; the host calls then forward to the host array
// library, found as the next definition after this program's.

#include "allocation_faults.h"
#include "conduit/tvarray/tv_array.h"

#include <atomic>
#include <cstdlib>
#include <dlfcn.h>
#include <new>

namespace korvex::host::testing::faults {

namespace {

// Allocations left before the one that fails; 0 when disarmed.
std::atomic<std::size_t> countdown{0};
std::atomic<bool> fired{false};

// Counts one allocation; true when this one must fail.
bool allocationFails() {
    std::size_t left = countdown.load();
    while (left != 0) {
        if (countdown.compare_exchange_weak(left, left - 1)) {
            if (left == 1) {
                fired = true;
                return true;
            }
            return false;
        }
    }
    return false;
}

template <class Function> Function realFunction(const char* name) {
    void* address = dlsym(RTLD_NEXT, name);
    if (address == nullptr)
        std::abort(); // the host array library is not loaded: the test cannot run
    return reinterpret_cast<Function>(address);
}

} // namespace

void failAllocation(std::size_t n) {
    fired = false;
    countdown = n;
}

void disarm() { countdown = 0; }

bool triggered() { return fired; }

std::size_t failEachAllocation(const std::function<void()>& run,
                               const std::function<void(std::size_t n, bool failed)>& check,
                               std::size_t limit) {
    std::size_t n = 1;
    for (; n <= limit; ++n) {
        failAllocation(n);
        run();
        const bool failed = triggered();
        disarm();
        check(n, failed);
        if (!failed)
            break;
    }
    return n;
}

} // namespace korvex::host::testing::faults

using korvex::host::testing::faults::allocationFails;
using korvex::host::testing::faults::realFunction;

// Every form of new and delete goes through malloc and free, so that the
// sanitizers see matching pairs.
void* operator new(std::size_t size) {
    if (allocationFails())
        throw std::bad_alloc();
    if (void* memory = std::malloc(size != 0 ? size : 1))
        return memory;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return ::operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return ::operator new(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return ::operator new(size, std::nothrow);
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { std::free(memory); }

extern "C" {

tvArray* tvCreateStructMatrix(size_t rows, size_t columns, int fieldCount,
                              const char** fieldNames) {
    static const auto real = realFunction<decltype(&tvCreateStructMatrix)>("tvCreateStructMatrix");
    return allocationFails() ? nullptr : real(rows, columns, fieldCount, fieldNames);
}

tvArray* tvCreateNumericMatrix(size_t rows, size_t columns, tvClassID classID,
                               tvComplexity complexity) {
    static const auto real =
        realFunction<decltype(&tvCreateNumericMatrix)>("tvCreateNumericMatrix");
    return allocationFails() ? nullptr : real(rows, columns, classID, complexity);
}

tvArray* tvCreateLogicalMatrix(size_t rows, size_t columns) {
    static const auto real =
        realFunction<decltype(&tvCreateLogicalMatrix)>("tvCreateLogicalMatrix");
    return allocationFails() ? nullptr : real(rows, columns);
}

tvArray* tvCreateString(const char* text) {
    static const auto real = realFunction<decltype(&tvCreateString)>("tvCreateString");
    return allocationFails() ? nullptr : real(text);
}

tvArray* tvCreateStringFromWide(const tvChar* units, size_t count) {
    static const auto real =
        realFunction<decltype(&tvCreateStringFromWide)>("tvCreateStringFromWide");
    return allocationFails() ? nullptr : real(units, count);
}

tvArray* tvCreateCellArray(size_t dimensionCount, const size_t* dimensions) {
    static const auto real = realFunction<decltype(&tvCreateCellArray)>("tvCreateCellArray");
    return allocationFails() ? nullptr : real(dimensionCount, dimensions);
}

char* tvArrayToString(const tvArray* array) {
    static const auto real = realFunction<decltype(&tvArrayToString)>("tvArrayToString");
    return allocationFails() ? nullptr : real(array);
}

} // extern "C"
