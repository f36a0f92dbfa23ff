#include "xls/SheetCells.h"

#include "xls/Utf16.h"
#include "xls/XlsErrors.h"

#include <algorithm>

namespace fenban {

void SheetCells::put(int row, int column, std::string_view utf8)
{
    if (row < 1 || column < 1) {
        throw SpreadsheetError("单元格位置无效（第 " + std::to_string(row) + " 行第 " + std::to_string(column)
            + " 列），行号和列号从 1 开始。");
    }
    std::u16string text = Utf8ToUtf16(utf8);
    if (text.size() > MaxTextLength) {
        throw SpreadsheetLimitError("第 " + std::to_string(row) + " 行第 " + std::to_string(column) + " 列的文字有 "
            + std::to_string(text.size()) + " 个字符，超出 .xls 文件每格最多 " + std::to_string(MaxTextLength)
            + " 个字符的限制，不能输出。");
    }
    std::uint32_t index = Empty;
    if (!text.empty()) {
        const auto next = static_cast<std::uint32_t>(texts_.size());
        const auto [entry, added] = textIndex_.try_emplace(std::move(text), next);
        if (added)
            texts_.push_back(&entry->first);
        index = entry->second;
    }
    cells_.push_back({row - 1, column - 1, index});
    rowCount_ = std::max(rowCount_, row);
    columnCount_ = std::max(columnCount_, column);
}

void SheetCells::checkLimits() const
{
    if (rowCount_ > MaxRows) {
        throw SpreadsheetLimitError("表格有 " + std::to_string(rowCount_) + " 行，超出 .xls 文件最多 "
            + std::to_string(MaxRows) + " 行的限制，不能输出。");
    }
    if (columnCount_ > MaxColumns) {
        throw SpreadsheetLimitError("表格有 " + std::to_string(columnCount_) + " 列，超出 .xls 文件最多 "
            + std::to_string(MaxColumns) + " 列的限制，不能输出。");
    }
}

std::vector<SheetCells::Cell> SheetCells::orderedCells() const
{
    const auto before
        = [](const Cell& a, const Cell& b) { return a.row != b.row ? a.row < b.row : a.column < b.column; };
    std::vector<Cell> ordered = cells_;
    if (!std::is_sorted(ordered.begin(), ordered.end(), before))
        std::stable_sort(ordered.begin(), ordered.end(), before);
    // Keep the last of each run of puts to the same cell.
    std::size_t kept = 0;
    for (const Cell& cell : ordered) {
        if (kept > 0 && !before(ordered[kept - 1], cell))
            ordered[kept - 1] = cell;
        else
            ordered[kept++] = cell;
    }
    ordered.resize(kept);
    return ordered;
}

void SheetCells::clear()
{
    cells_.clear();
    textIndex_.clear();
    texts_.clear();
    rowCount_ = 0;
    columnCount_ = 0;
}

} // namespace fenban
