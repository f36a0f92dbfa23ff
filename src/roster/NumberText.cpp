#include "roster/NumberText.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace fenban {

std::string FormatNumber(long double value, std::string_view decimalSeparator)
{
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value < 0 ? "-INF" : "INF";
    if (value == 0)
        return "0";

    constexpr int precision = 15;
    // d.dddddddddddddde[+-]x: the digits, correctly rounded to 15.
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*Le", precision - 1, value);
    std::string_view text(buffer);
    const bool negative = text.front() == '-';
    if (negative)
        text.remove_prefix(1);
    const std::size_t e = text.find('e');
    std::string digits;
    for (const char c : text.substr(0, e))
        if (c != '.')
            digits += c;
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    const int exponent = std::atoi(std::string(text.substr(e + 1)).c_str()) + 1; // 0.d1d2... x 10^exponent

    std::string out = negative ? "-" : "";
    const int count = static_cast<int>(digits.size());
    if (exponent >= -3 && exponent <= precision) {
        if (exponent <= 0) {
            out += '0';
            out += decimalSeparator;
            out.append(static_cast<std::size_t>(-exponent), '0');
            out += digits;
        } else if (exponent >= count) {
            out += digits;
            out.append(static_cast<std::size_t>(exponent - count), '0');
        } else {
            out += digits.substr(0, static_cast<std::size_t>(exponent));
            out += decimalSeparator;
            out += digits.substr(static_cast<std::size_t>(exponent));
        }
    } else {
        out += digits.front();
        if (count > 1) {
            out += decimalSeparator;
            out += digits.substr(1);
        }
        out += 'E';
        out += std::to_string(exponent - 1);
    }
    return out;
}

} // namespace fenban
