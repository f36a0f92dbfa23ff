#include "roster/ScoreParser.h"

#include "common/Failure.h"

#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

namespace fenban {

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

[[noreturn]] void failFloat(std::string_view text)
{
    throw ConversionError("'" + std::string(text) + "' is not a valid floating point value");
}

bool isBlank(std::string_view text)
{
    for (const char c : text)
        if (static_cast<unsigned char>(c) > 32)
            return false;
    return true;
}

} // namespace

long double ParseScore(std::string_view text, std::string_view decimalSeparator)
{
    if (isBlank(text))
        return 0.0L;

    // Rewrite the number in the one form from_chars reads: [-]digits[.digits][e[-]digits].
    std::string normal;
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && text[i] == ' ')
        ++i;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        if (text[i] == '-')
            normal += '-';
        ++i;
    }
    std::size_t mantissaDigits = 0;
    bool leadingZero = true; // only zeros seen so far: one zero is enough
    int significantBefore = 0; // significant digits before the separator
    int zerosAfter = 0; // zeros after the separator before the first significant digit
    while (i < n && isDigit(text[i])) {
        if (!(leadingZero && text[i] == '0')) {
            leadingZero = false;
            normal += text[i];
            ++significantBefore;
        }
        ++mantissaDigits;
        ++i;
    }
    if (leadingZero)
        normal += '0';
    if (!decimalSeparator.empty() && text.substr(i, decimalSeparator.size()) == decimalSeparator) {
        i += decimalSeparator.size();
        normal += '.';
        while (i < n && isDigit(text[i])) {
            if (leadingZero && text[i] == '0')
                ++zerosAfter;
            else
                leadingZero = false;
            normal += text[i];
            ++mantissaDigits;
            ++i;
        }
    }
    if (mantissaDigits == 0)
        failFloat(text);
    long long exponent = 0;
    if (i < n && (text[i] == 'E' || text[i] == 'e')) {
        ++i;
        bool negative = false;
        if (i < n && (text[i] == '+' || text[i] == '-')) {
            negative = text[i] == '-';
            ++i;
        }
        const std::size_t first = i;
        while (i < n && isDigit(text[i])) {
            if (exponent < 100'000'000)
                exponent = exponent * 10 + (text[i] - '0');
            ++i;
        }
        if (i == first)
            failFloat(text);
        if (negative)
            exponent = -exponent;
        normal += 'e';
        normal += std::to_string(exponent);
    }
    while (i < n && text[i] == ' ')
        ++i;
    if (i != n)
        failFloat(text);

    long double value = 0.0L;
    const auto [end, ec]
        = std::from_chars(normal.data(), normal.data() + normal.size(), value, std::chars_format::general);
    if (ec == std::errc::result_out_of_range) {
        if (leadingZero)
            return 0.0L;
        // Decimal magnitude of the number: beyond the range above, below it underflow to 0.
        const long long magnitude = (significantBefore > 0 ? significantBefore : -zerosAfter) + exponent;
        if (magnitude > 0)
            failFloat(text);
        return normal.front() == '-' ? -0.0L : 0.0L;
    }
    if (ec != std::errc() || end != normal.data() + normal.size())
        failFloat(text);
    return value;
}

std::int32_t ParseClassNo(std::string_view text, std::string_view decimalSeparator)
{
    const long double truncated = std::trunc(ParseScore(text, decimalSeparator));
    if (truncated < -2147483648.0L || truncated > 2147483647.0L)
        throw ConversionError("'" + std::string(text) + "' is not a valid integer value");
    return static_cast<std::int32_t>(truncated);
}

} // namespace fenban
