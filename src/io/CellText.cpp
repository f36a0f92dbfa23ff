#include "io/CellText.h"

#include "io/TableProblem.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace fenban {

std::string GeneralNumberText(double value)
{
    if (value == 0)
        return "0";
    // Shortest digits that fit 15 significant ones, like the C library's
    // %.15G: exponent form for exponents below -4 and from 15 up.
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15).ptr;
    std::string text(buffer, end);
    std::replace(text.begin(), text.end(), 'e', 'E');
    return text;
}

void TrimTable(TableRows& rows)
{
    std::size_t firstColumn = std::numeric_limits<std::size_t>::max();
    for (auto& row : rows) {
        while (!row.empty() && row.back().empty())
            row.pop_back();
        const auto filled = std::find_if(row.begin(), row.end(), [](const std::string& cell) { return !cell.empty(); });
        if (filled != row.end())
            firstColumn = std::min(firstColumn, static_cast<std::size_t>(filled - row.begin()));
    }
    while (!rows.empty() && rows.back().empty())
        rows.pop_back();
    const auto firstRow = std::find_if(rows.begin(), rows.end(), [](const auto& row) { return !row.empty(); });
    rows.erase(rows.begin(), firstRow);
    if (firstColumn == 0 || rows.empty())
        return;
    for (auto& row : rows)
        row.erase(row.begin(), row.begin() + static_cast<std::ptrdiff_t>(std::min(firstColumn, row.size())));
}

void CheckTablePosition(long long row, long long column)
{
    if (row >= MaxTableRows)
        throw TableProblem(TableReadError::Reason::TooLarge,
            "表格超过 " + std::to_string(MaxTableRows) + " 行，请只留下名单所在的表格");
    if (column >= MaxTableColumns)
        throw TableProblem(TableReadError::Reason::TooLarge,
            "表格超过 " + std::to_string(MaxTableColumns) + " 列，请只留下名单所在的表格");
}

} // namespace fenban
