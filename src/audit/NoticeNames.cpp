#include "audit/NoticeNames.h"

#include "common/Failure.h"

#include <algorithm>
#include <array>
#include <memory>
#include <numeric>
#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>

namespace fenban {

namespace {

// The middle dots minority names are written with.
constexpr char32_t MiddleDots[] = {U'·', U'•', U'‧', U'・', U'\u2219'};

bool IsDot(char32_t c)
{
    return std::find(std::begin(MiddleDots), std::end(MiddleDots), c) != std::end(MiddleDots);
}

std::u32string Decode(std::string_view utf8)
{
    const icu::UnicodeString text
        = icu::UnicodeString::fromUTF8(icu::StringPiece(utf8.data(), static_cast<std::int32_t>(utf8.size())));
    std::u32string decoded;
    for (std::int32_t k = 0; k < text.length(); k = text.moveIndex32(k, 1))
        decoded += static_cast<char32_t>(text.char32At(k));
    return decoded;
}

std::string Encode(const std::u32string& text)
{
    icu::UnicodeString unicode;
    for (const char32_t c : text)
        unicode.append(static_cast<UChar32>(c));
    std::string utf8;
    unicode.toUTF8String(utf8);
    return utf8;
}

} // namespace

bool IsCompoundSurname(std::u32string_view surname)
{
    static constexpr std::array<std::u32string_view, 40> Compound {U"欧阳", U"司马", U"上官", U"诸葛", U"东方", U"皇甫",
        U"尉迟", U"公孙", U"慕容", U"长孙", U"宇文", U"司徒", U"夏侯", U"轩辕", U"令狐", U"端木", U"独孤", U"南宫",
        U"西门", U"百里", U"呼延", U"钟离", U"宗政", U"濮阳", U"淳于", U"单于", U"太叔", U"申屠", U"公羊", U"闻人",
        U"澹台", U"公冶", U"东郭", U"拓跋", U"万俟", U"司空", U"赫连", U"第五", U"左丘", U"梁丘"};
    return std::find(Compound.begin(), Compound.end(), surname) != Compound.end();
}

std::string MaskName(std::string_view utf8)
{
    const std::u32string name = Decode(utf8);
    if (name.size() <= 1)
        return std::string(utf8);
    const bool hasDot = std::any_of(name.begin(), name.end(), IsDot);
    const std::size_t kept = !hasDot && name.size() >= 3 && IsCompoundSurname(name.substr(0, 2)) ? 2 : 1;
    const bool keepLast = kept == 1 && name.size() >= 3;
    std::u32string masked = name.substr(0, kept);
    for (std::size_t k = kept; k < name.size(); ++k) {
        const bool last = k + 1 == name.size();
        masked += IsDot(name[k]) || (last && keepLast) ? name[k] : U'*';
    }
    return Encode(masked);
}

std::vector<std::size_t> OrderByName(const std::vector<std::string>& names)
{
    UErrorCode status = U_ZERO_ERROR;
    const std::unique_ptr<icu::Collator> collator(icu::Collator::createInstance(icu::Locale("zh"), status));
    if (U_FAILURE(status))
        throw Failure("不能按姓名排序：没有中文排序规则（ICU）。");
    std::vector<std::string> keys;
    keys.reserve(names.size());
    for (const std::string& name : names) {
        const icu::UnicodeString text
            = icu::UnicodeString::fromUTF8(icu::StringPiece(name.data(), static_cast<std::int32_t>(name.size())));
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(collator->getSortKey(text, nullptr, 0)));
        collator->getSortKey(text, bytes.data(), static_cast<std::int32_t>(bytes.size()));
        keys.emplace_back(bytes.begin(), bytes.end());
    }
    std::vector<std::size_t> order(names.size());
    std::iota(order.begin(), order.end(), std::size_t {0});
    std::stable_sort(order.begin(), order.end(), [&keys](std::size_t a, std::size_t b) { return keys[a] < keys[b]; });
    return order;
}

} // namespace fenban
