#pragma once

// The field names of a structure. They are fixed once the structure is made, so
// structures made with the same names share one list: a converter makes thousands
// of structures a second, all with the same names, and copying the names into each
// (and freeing them again) was a good part of making and destroying one.

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace korvex::tvarray {

class FieldNames {
public:
    FieldNames() = default;

    // The names given, in order: the list of the structure made before with the
    // same names when there is one, else a new one. Throws std::invalid_argument for
    // a null name and std::bad_alloc; any thread.
    static FieldNames of(std::size_t count, const char* const* names);

    std::size_t size() const { return names_ ? names_->size() : 0; }
    const std::string& operator[](std::size_t field) const { return (*names_)[field]; }

private:
    using List = std::vector<std::string>;
    explicit FieldNames(std::shared_ptr<const List> names) : names_(std::move(names)) {}
    static bool same(const List& list, std::size_t count, const char* const* names);

    std::shared_ptr<const List> names_;
};

} // namespace korvex::tvarray
