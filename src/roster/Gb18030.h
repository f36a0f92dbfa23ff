#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace fenban {

// Student texts are held as GB18030 bytes (the same bytes as GBK for every
// GBK character); cells and the screen use UTF-8 / Unicode.

// GB18030 bytes of the longest prefix of whole characters of utf8 that fits
// in maxBytes bytes.
std::string Gb18030Prefix(std::string_view utf8, std::size_t maxBytes);

// UTF-8 text of GB18030 bytes.
std::string Gb18030ToUtf8(std::string_view bytes);

// Length of the longest prefix of whole GB18030 characters within maxBytes.
std::size_t Gb18030WholeCharsLength(std::string_view bytes, std::size_t maxBytes);

} // namespace fenban
