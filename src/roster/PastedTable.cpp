#include "roster/PastedTable.h"

#include "roster/CellGrid.h"

#include <algorithm>

namespace fenban {

std::vector<std::string_view> SplitLines(std::string_view text)
{
    if (const auto nul = text.find('\0'); nul != std::string_view::npos)
        text = text.substr(0, nul);

    std::vector<std::string_view> lines;
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c != '\r' && c != '\n') {
            ++i;
            continue;
        }
        lines.push_back(text.substr(start, i - start));
        i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
        start = i;
    }
    if (start < text.size())
        lines.push_back(text.substr(start));
    return lines;
}

std::vector<std::string_view> SplitFields(std::string_view line)
{
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', start);
        if (tab == std::string_view::npos) {
            fields.push_back(line.substr(start));
            return fields;
        }
        fields.push_back(line.substr(start, tab - start));
        start = tab + 1;
    }
}

FieldRows SplitTable(std::string_view text)
{
    const std::vector<std::string_view> lines = SplitLines(text);
    FieldRows table;
    table.reserve(lines.size());
    for (const std::string_view line : lines)
        table.push_back(SplitFields(line));
    return table;
}

TableGridSize GridSizeForTable(std::span<const FieldRow> table)
{
    std::size_t widest = 0;
    for (const FieldRow& row : table)
        widest = std::max(widest, row.size());
    return {std::max<int>(RosterColumns, static_cast<int>(widest) + 1), std::max(2, static_cast<int>(table.size()))};
}

void FillGridWithTable(CellGrid& grid, std::span<const FieldRow> table)
{
    grid.clearCells();
    for (std::size_t row = 0; row < table.size(); ++row) {
        const int r = static_cast<int>(row);
        grid.setCell(0, r, std::to_string(row));
        const FieldRow& fields = table[row];
        for (std::size_t field = 0; field < fields.size(); ++field)
            grid.setCell(static_cast<int>(field) + 1, r, std::string(fields[field]));
    }
}

std::string BlockText(const CellGrid& grid, int left, int top, int right, int bottom)
{
    std::string text;
    for (int row = top; row <= bottom; ++row) {
        if (row != top)
            text += "\r\n";
        for (int col = left; col <= right; ++col) {
            if (col != left)
                text += '\t';
            text += grid.cell(col, row);
        }
    }
    return text;
}

} // namespace fenban
