#include "audit/PublicSeed.h"

namespace fenban {

namespace {

constexpr std::string_view FullWidthZero = "\xEF\xBC\x90"; // ０, U+FF10; ９ is U+FF19

bool IsBlank(std::string_view text, std::size_t at, std::size_t& length)
{
    if (static_cast<unsigned char>(text[at]) <= ' ') {
        length = 1;
        return true;
    }
    if (text.substr(at, 3) == "\xE3\x80\x80") { // the ideographic space
        length = 3;
        return true;
    }
    return false;
}

} // namespace

std::string NormalSeedText(std::string_view utf8)
{
    std::string digits;
    std::size_t at = 0;
    std::size_t length = 0;
    while (at < utf8.size() && IsBlank(utf8, at, length))
        at += length;
    std::size_t end = utf8.size();
    while (end > at) {
        std::size_t back = 1;
        while (back < end - at && back < 3 && (static_cast<unsigned char>(utf8[end - back]) & 0xC0) == 0x80)
            ++back;
        if (!IsBlank(utf8, end - back, length) || length != back)
            break;
        end -= back;
    }
    for (; at < end;) {
        const char c = utf8[at];
        if (c >= '0' && c <= '9') {
            digits += c;
            ++at;
        } else if (utf8.substr(at, 2) == FullWidthZero.substr(0, 2) && at + 2 < end
            && static_cast<unsigned char>(utf8[at + 2]) >= 0x90 && static_cast<unsigned char>(utf8[at + 2]) <= 0x99) {
            digits += static_cast<char>('0' + (static_cast<unsigned char>(utf8[at + 2]) - 0x90));
            at += 3;
        } else {
            throw SeedTextError("种子只能由数字组成（例如掷骰子或开奖号码的数字）。");
        }
    }
    if (digits.empty())
        throw SeedTextError("请填写种子：一串数字。");
    if (digits.size() > MaxSeedDigits)
        throw SeedTextError("种子最多 " + std::to_string(MaxSeedDigits) + " 位数字。");
    return digits;
}

std::uint64_t SeedOfText(std::string_view utf8)
{
    std::uint64_t seed = 0;
    for (const char digit : NormalSeedText(utf8))
        seed = seed * 10 + static_cast<std::uint64_t>(digit - '0'); // wraps: modulo 2^64
    return seed;
}

} // namespace fenban
