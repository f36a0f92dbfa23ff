#include "xls/Utf16.h"

namespace fenban {

namespace {

constexpr char16_t Replacement = u'\uFFFD';

void AppendCodePoint(std::u16string& out, char32_t cp)
{
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
        return;
    }
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
}

} // namespace

std::u16string Utf8ToUtf16(std::string_view utf8)
{
    std::u16string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        if (lead < 0x80) {
            out.push_back(lead);
            ++i;
            continue;
        }
        // Sequence length and the range of the second byte, which rules out
        // overlong forms, surrogates and values past U+10FFFF.
        std::size_t length = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF)
            length = 2;
        else if (lead >= 0xE0 && lead <= 0xEF)
            length = 3, low = lead == 0xE0 ? 0xA0 : 0x80, high = lead == 0xED ? 0x9F : 0xBF;
        else if (lead >= 0xF0 && lead <= 0xF4)
            length = 4, low = lead == 0xF0 ? 0x90 : 0x80, high = lead == 0xF4 ? 0x8F : 0xBF;
        char32_t cp = length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
        std::size_t taken = 1;
        while (taken < length && i + taken < utf8.size()) {
            const auto byte = static_cast<unsigned char>(utf8[i + taken]);
            if (byte < (taken == 1 ? low : 0x80) || byte > (taken == 1 ? high : 0xBF))
                break;
            cp = (cp << 6) | (byte & 0x3F);
            ++taken;
        }
        // A broken sequence gives one U+FFFD for its longest valid beginning.
        if (length != 0 && taken == length)
            AppendCodePoint(out, cp);
        else
            out.push_back(Replacement);
        i += taken;
    }
    return out;
}

} // namespace fenban
