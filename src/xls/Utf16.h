#pragma once

#include <string>
#include <string_view>

namespace fenban {

// UTF-8 to UTF-16; characters beyond the BMP become surrogate pairs. Bytes
// that are not well-formed UTF-8 (stray continuation bytes, overlong forms,
// encoded surrogates, values past U+10FFFF, cut-off sequences) become U+FFFD,
// one for each maximal ill-formed part as Unicode recommends, so the result
// is always well-formed UTF-16.
std::u16string Utf8ToUtf16(std::string_view utf8);

inline bool IsHighSurrogate(char16_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}

} // namespace fenban
