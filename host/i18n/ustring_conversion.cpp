#include "ustring_conversion.h"

#include "unicode.h"

#include <stdexcept>

namespace korvex::i18n {

UStringToNarrow::UStringToNarrow(bool replaceInvalid) : replaceInvalid_(replaceInvalid) {}

std::string UStringToNarrow::operator()(const conduit::kit::uchar* units, std::size_t count) const {
    if (units == nullptr || count == 0)
        return std::string();
    if (!replaceInvalid_) {
        for (std::size_t i = 0; i < count; ++i) {
            const auto unit = static_cast<std::uint16_t>(units[i]);
            if (unit >= 0xD800 && unit < 0xDC00) {
                const bool paired = i + 1 < count &&
                                    static_cast<std::uint16_t>(units[i + 1]) >= 0xDC00 &&
                                    static_cast<std::uint16_t>(units[i + 1]) < 0xE000;
                if (!paired)
                    throw std::invalid_argument("unpaired UTF-16 surrogate");
                ++i;
            } else if (unit >= 0xDC00 && unit < 0xE000) {
                throw std::invalid_argument("unpaired UTF-16 surrogate");
            }
        }
    }
    return unicode::utf16ToUtf8(units, count);
}

std::string narrow(const conduit::kit::ustring& text) {
    return UStringToNarrow(true)(text.data(), text.size());
}

conduit::kit::ustring widen(const std::string& text) {
    return unicode::utf8ToUtf16<conduit::kit::uchar>(text.data(), text.size());
}

} // namespace korvex::i18n
