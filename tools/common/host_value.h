#pragma once

// Reading host values (tvArray) on the host's side, for the programs that show
// what converters and extension modules return: numbers, text, cell arrays, and a
// short readable rendering of any value. Only the host array API is used.

#include "conduit/tvarray/tv_array.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kxtools {

struct HostArrayDestroyer {
    void operator()(tvArray* array) const noexcept { tvDestroyArray(array); }
};
// A host value the program owns; tvDestroyArray releases it.
using HostArray = std::unique_ptr<tvArray, HostArrayDestroyer>;

// The UTF-8 text of a char value; nothing for a value of another class.
std::optional<std::string> hostText(const tvArray* value);

// The real elements of a numeric or logical value as doubles, in storage order;
// nothing for a value of another class.
std::optional<std::vector<double>> hostNumbers(const tvArray* value);
// The same without allocating, for a reader of many values: the first `room`
// elements go to out; the answer is how many elements the value has.
std::optional<std::size_t> hostNumbersInto(const tvArray* value, double* out, std::size_t room);

// The cells of a cell array, each rendered by hostValueText; nothing for a value
// that is not a cell array.
std::optional<std::vector<std::string>> hostCellTexts(const tvArray* value);

// A short rendering for people: 5, [1, 2, 3], 10.0.0.5 (text as it is), {a, b}
// for cells, <struct> or <empty> where nothing better fits.
std::string hostValueText(const tvArray* value);

// The shortest decimal text that reads back as exactly value: 0.1, -9.81, 2024,
// 1e-07; "NaN", "Inf" and "-Inf" for the special values.
std::string numberText(double value);
// The same appended to out, for a writer of many numbers into one buffer.
void appendNumberText(double value, std::string& out);
// The same written at `at`, which has room for MAX_NUMBER_TEXT characters; returns
// the end of the text.
constexpr std::size_t MAX_NUMBER_TEXT = 32;
char* writeNumberText(double value, char* at);

} // namespace kxtools
