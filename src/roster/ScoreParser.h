#pragma once

#include <cstdint>
#include <string_view>

namespace fenban {

// Reads a score cell: blank (only characters of code 32 or less) is 0;
// otherwise spaces, an optional sign, digits with an optional decimal
// separator, an optional exponent (E or e, optional sign, digits) and spaces,
// nothing else. Converted to the extended type, correctly rounded.
// Throws ConversionError "'<text>' is not a valid floating point value".
long double ParseScore(std::string_view text, std::string_view decimalSeparator);

// A class cell: ParseScore truncated toward zero. Throws ConversionError
// "'<text>' is not a valid integer value" when that lies outside 32 bits.
std::int32_t ParseClassNo(std::string_view text, std::string_view decimalSeparator);

} // namespace fenban
