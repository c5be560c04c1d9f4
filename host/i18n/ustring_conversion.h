#pragma once

#include "conduit/kit/ustring.h"
#include "korvexi18n_export.h"

#include <cstddef>
#include <string>

// The host's internationalisation library: conversions between the host's UTF-16
// strings and narrow (UTF-8) strings, as the webcam plug-ins use them.

namespace korvex::i18n {

// Narrows UTF-16 code units to a UTF-8 std::string. Create, call, destroy.
class KORVEXI18N_EXPORT UStringToNarrow {
public:
    // replaceInvalid: an unpaired surrogate becomes U+FFFD (true) or is an error (false).
    explicit UStringToNarrow(bool replaceInvalid);

    // Throws std::invalid_argument for an unpaired surrogate when replaceInvalid is false.
    std::string operator()(const conduit::kit::uchar* units, std::size_t count) const;

private:
    bool replaceInvalid_;
};

// Shorthand for the common case.
KORVEXI18N_EXPORT std::string narrow(const conduit::kit::ustring& text);

// UTF-8 to the host's UTF-16 string; invalid bytes become U+FFFD.
KORVEXI18N_EXPORT conduit::kit::ustring widen(const std::string& text);

} // namespace korvex::i18n
