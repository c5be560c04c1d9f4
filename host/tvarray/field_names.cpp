#include "field_names.h"

#include <cstring>
#include <mutex>
#include <stdexcept>

namespace korvex::tvarray {

namespace {

// The list made last, shared with the next structure of the same names.
std::mutex lastMutex;
std::shared_ptr<const std::vector<std::string>> lastMade;

} // namespace

bool FieldNames::same(const List& list, std::size_t count, const char* const* names) {
    if (list.size() != count)
        return false;
    for (std::size_t field = 0; field < count; ++field) {
        if (names[field] == nullptr || std::strcmp(list[field].c_str(), names[field]) != 0)
            return false;
    }
    return true;
}

FieldNames FieldNames::of(std::size_t count, const char* const* names) {
    {
        const std::lock_guard<std::mutex> lock(lastMutex);
        if (lastMade && same(*lastMade, count, names))
            return FieldNames(lastMade);
    }
    auto made = std::make_shared<List>();
    made->reserve(count);
    for (std::size_t field = 0; field < count; ++field) {
        if (names[field] == nullptr)
            throw std::invalid_argument("field name");
        made->emplace_back(names[field]);
    }
    std::shared_ptr<const List> shared = std::move(made);
    const std::lock_guard<std::mutex> lock(lastMutex);
    lastMade = shared;
    return FieldNames(std::move(shared));
}

} // namespace korvex::tvarray
