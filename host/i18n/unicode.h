#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// UTF-8 and UTF-16 conversions shared by the host's array library and its
// internationalisation library. Ill-formed input (unpaired surrogates, invalid or
// overlong UTF-8) becomes U+FFFD, so the output is always well-formed.

namespace korvex::unicode {

constexpr char32_t REPLACEMENT = 0xFFFD;

inline void appendUtf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// UTF-16 code units (any 16-bit unit type) to UTF-8.
template <class Unit> std::string utf16ToUtf8(const Unit* units, std::size_t count) {
    std::string out;
    out.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const char32_t unit = static_cast<std::uint16_t>(units[i]);
        if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < count) {
            const char32_t next = static_cast<std::uint16_t>(units[i + 1]);
            if (next >= 0xDC00 && next < 0xE000) {
                appendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00));
                ++i;
                continue;
            }
        }
        appendUtf8(out, (unit >= 0xD800 && unit < 0xE000) ? REPLACEMENT : unit);
    }
    return out;
}

// Decodes one code point starting at text[i] and advances i past it.
inline char32_t decodeUtf8(const unsigned char* text, std::size_t length, std::size_t& i) {
    const unsigned char lead = text[i++];
    if (lead < 0x80)
        return lead;
    std::size_t extra = 0;
    char32_t code = 0;
    char32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1, code = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2, code = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3, code = lead & 0x07, minimum = 0x10000;
    } else {
        return REPLACEMENT;
    }
    for (std::size_t k = 0; k < extra; ++k) {
        if (i >= length || (text[i] & 0xC0) != 0x80)
            return REPLACEMENT;
        code = (code << 6) | (text[i++] & 0x3F);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code < 0xE000))
        return REPLACEMENT;
    return code;
}

// UTF-8 to UTF-16 code units of type Unit.
template <class Unit> std::basic_string<Unit> utf8ToUtf16(const char* text, std::size_t length) {
    std::basic_string<Unit> out;
    out.reserve(length);
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    for (std::size_t i = 0; i < length;) {
        const char32_t code = decodeUtf8(bytes, length, i);
        if (code >= 0x10000) {
            out += static_cast<Unit>(0xD800 + ((code - 0x10000) >> 10));
            out += static_cast<Unit>(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            out += static_cast<Unit>(code);
        }
    }
    return out;
}

} // namespace korvex::unicode
