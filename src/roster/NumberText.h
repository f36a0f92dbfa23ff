#pragma once

#include <string>
#include <string_view>

namespace fenban {

// The one format of every number shown: 15 significant digits, trailing
// zeros dropped, no separator for whole numbers. With the value written as
// 0.d1d2... x 10^E after rounding, plain notation when -3 <= E <= 15,
// otherwise scientific like "1E20" or "1.5E-10". Zero shows "0".
std::string FormatNumber(long double value, std::string_view decimalSeparator);

} // namespace fenban
