#include "roster/RuleColumns.h"

#include <algorithm>

namespace fenban {

namespace {

// Byte length of a hidden blank at the start (end) of the text; 0 when none.
std::size_t blankAtStart(std::string_view text)
{
    if (!text.empty() && static_cast<unsigned char>(text.front()) <= 32)
        return 1;
    if (text.starts_with("\xC2\xA0")) // no-break space
        return 2;
    if (text.starts_with("\xE3\x80\x80")) // ideographic space
        return 3;
    return 0;
}

std::size_t blankAtEnd(std::string_view text)
{
    if (!text.empty() && static_cast<unsigned char>(text.back()) <= 32)
        return 1;
    if (text.ends_with("\xC2\xA0"))
        return 2;
    if (text.ends_with("\xE3\x80\x80"))
        return 3;
    return 0;
}

} // namespace

std::string_view RosterRuleTexts::text(std::size_t record, int column) const
{
    if (record >= cells.size())
        return {};
    const std::vector<RuleCell>& row = cells[record];
    const auto found = std::lower_bound(
        row.begin(), row.end(), column, [](const RuleCell& cell, int wanted) { return cell.column < wanted; });
    return found != row.end() && found->column == column ? std::string_view(found->text) : std::string_view();
}

std::string_view TrimRuleText(std::string_view utf8)
{
    while (const std::size_t n = blankAtStart(utf8))
        utf8.remove_prefix(n);
    while (const std::size_t n = blankAtEnd(utf8))
        utf8.remove_suffix(n);
    return utf8;
}

std::optional<RuleColumnKind> RuleColumnKindOfHeader(std::string_view header)
{
    const std::string_view word = TrimRuleText(header);
    if (word == "同班")
        return RuleColumnKind::Together;
    if (word == "不同班")
        return RuleColumnKind::Apart;
    if (word == "固定")
        return RuleColumnKind::Fixed;
    if (word.starts_with("均衡"))
        return RuleColumnKind::Spread;
    return std::nullopt;
}

std::vector<RuleColumn> FindRuleColumns(const CellGrid& grid)
{
    std::vector<RuleColumn> columns;
    for (int col = FirstRuleColumn; col < grid.colCount(); ++col) {
        const std::string& header = grid.cell(col, 0);
        if (header.empty())
            continue;
        if (const std::optional<RuleColumnKind> kind = RuleColumnKindOfHeader(header))
            columns.push_back({*kind, col, header});
    }
    return columns;
}

} // namespace fenban
