#pragma once

#include <string>

namespace conduit::kit {

// The host's UTF-16 string: 16-bit wchar_t on Windows, char16_t elsewhere.
#if defined(_WIN32)
using ustring = std::wstring;
#else
using ustring = std::u16string;
#endif
using uchar = ustring::value_type;

static_assert(sizeof(uchar) == 2, "the host's strings are made of 16-bit code units");

} // namespace conduit::kit
