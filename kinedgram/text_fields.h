#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kinedgram {

// The fields of one text datagram: the text cut at commas with the escaped-list
// rules of the app (backslash escapes, double quotes), each field trimmed of white
// space. One object is reused for every datagram, so splitting allocates nothing
// once its storage has grown to the longest text seen.
class TextFields {
public:
    // More fields than any datagram kind has; a text with more is rejected early.
    static constexpr std::size_t MAX_FIELDS = 10;

    // Splits text. False when the text breaks the escape rules (a backslash before
    // a character other than n, a double quote, a comma or a backslash, or at the
    // very end) or has more than MAX_FIELDS fields. An empty text has no fields.
    bool split(std::string_view text);

    std::size_t count() const { return fieldCount; }
    std::string_view operator[](std::size_t index) const;

private:
    struct Span {
        std::uint32_t begin;
        std::uint32_t end;
    };
    void closeField(std::size_t begin, std::size_t end);

    std::string storage; // the unescaped text, fields back to back
    std::array<Span, MAX_FIELDS> spans{};
    std::size_t fieldCount = 0;
};

} // namespace kinedgram
