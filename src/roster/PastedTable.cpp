#include "roster/PastedTable.h"

#include "roster/CellGrid.h"

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
