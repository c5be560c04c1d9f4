#include "text_fields.h"

namespace kinedgram {

namespace {

// White space of the classic locale.
bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

} // namespace

void TextFields::closeField(std::size_t begin, std::size_t end) {
    while (begin < end && isBlank(storage[begin]))
        ++begin;
    while (end > begin && isBlank(storage[end - 1]))
        --end;
    spans[fieldCount++] = Span{static_cast<std::uint32_t>(begin), static_cast<std::uint32_t>(end)};
}

bool TextFields::split(std::string_view text) {
    fieldCount = 0;
    if (text.empty())
        return true;
    // Unescaping never makes the text longer.
    if (storage.size() < text.size())
        storage.resize(text.size());

    std::size_t out = 0;
    std::size_t fieldBegin = 0;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\') {
            if (++i == text.size())
                return false; // a text cannot end with an escape
            const char escaped = text[i];
            if (escaped == 'n')
                storage[out++] = '\n';
            else if (escaped == '"' || escaped == ',' || escaped == '\\')
                storage[out++] = escaped;
            else
                return false; // unknown escape sequence
        } else if (c == ',' && !quoted) {
            if (fieldCount + 1 == MAX_FIELDS)
                return false;
            closeField(fieldBegin, out);
            fieldBegin = out;
        } else if (c == '"') {
            quoted = !quoted;
        } else {
            storage[out++] = c;
        }
    }
    // A text ending in a comma has an empty last field.
    closeField(fieldBegin, out);
    return true;
}

std::string_view TextFields::operator[](std::size_t index) const {
    const Span span = spans[index];
    return std::string_view(storage.data() + span.begin, span.end - span.begin);
}

} // namespace kinedgram
