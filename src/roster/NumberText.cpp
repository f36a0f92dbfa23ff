#include "roster/NumberText.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace fenban {

namespace {

constexpr int precision = 15;

struct Decimal {
    std::string digits; // no trailing zeros, at least one digit
    int exponent; // value = 0.d1d2... x 10^exponent
};

void dropTrailingZeros(std::string& digits)
{
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
}

// Correctly rounded through the C library: exact, but slow.
Decimal ByPrintf(long double magnitude)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*Le", precision - 1, magnitude);
    const std::string_view text(buffer);
    const std::size_t e = text.find('e');
    Decimal decimal {{}, std::atoi(std::string(text.substr(e + 1)).c_str()) + 1};
    for (const char c : text.substr(0, e))
        if (c != '.')
            decimal.digits += c;
    dropTrailingZeros(decimal.digits);
    return decimal;
}

// The same digits for the values a roster holds (1E-3 up to 1E15), from
// one scaled multiplication. Its error stays below 1E-4 of the last digit,
// so the rounding is the correct one unless the scaled value lies that near
// a half, which goes the slow way.
Decimal SignificantDigits(long double magnitude)
{
    static constexpr long double powers[] = {1e0L, 1e1L, 1e2L, 1e3L, 1e4L, 1e5L, 1e6L, 1e7L, 1e8L, 1e9L, 1e10L, 1e11L,
        1e12L, 1e13L, 1e14L, 1e15L, 1e16L, 1e17L, 1e18L};
    if (!(magnitude >= 1e-3L && magnitude < 1e15L))
        return ByPrintf(magnitude);
    // 10^(exponent-1) <= magnitude < 10^exponent; a misjudged edge is caught by the digit count below.
    int exponent = -2;
    while (exponent < precision && magnitude * 1e3L >= powers[exponent + 3])
        ++exponent;
    const long double scaled = magnitude * powers[precision - exponent];
    const long double whole = std::floor(scaled);
    if (std::fabs(scaled - whole - 0.5L) < 1e-4L)
        return ByPrintf(magnitude);
    const auto rounded = static_cast<unsigned long long>(whole) + (scaled - whole > 0.5L ? 1 : 0);
    if (rounded >= 1'000'000'000'000'000ULL || rounded < 100'000'000'000'000ULL)
        return ByPrintf(magnitude); // the rounding carried into another digit
    Decimal decimal {std::to_string(rounded), exponent};
    dropTrailingZeros(decimal.digits);
    return decimal;
}

} // namespace

std::string FormatNumber(long double value, std::string_view decimalSeparator)
{
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value < 0 ? "-INF" : "INF";
    if (value == 0)
        return "0";

    const bool negative = value < 0;
    const auto [digits, exponent] = SignificantDigits(negative ? -value : value);

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
