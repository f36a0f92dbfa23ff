#include "io/SheetBuilder.h"

#include "io/TableProblem.h"

#include <algorithm>
#include <limits>

namespace fenban {

void ThrowTooManyCells()
{
    throw TableProblem(TableReadError::Reason::TooLarge,
        "表格超过 " + std::to_string(MaxTableCells / 10'000) + " 万个单元格，请只留下名单所在的表格");
}

void CellBudget::spend(std::uint64_t cells)
{
    spent_ += cells;
    if (spent_ > MaxTableCells)
        ThrowTooManyCells();
}

void SheetBuilder::put(long long row, long long column, std::string text)
{
    if (text.empty())
        return;
    CheckTablePosition(row, column);
    if (row < 0 || column < 0)
        throw std::out_of_range("negative cell position");
    budget_.spend(1);
    cells_.push_back({static_cast<std::uint32_t>(row), static_cast<std::uint32_t>(column), std::move(text)});
}

TableRows SheetBuilder::rows()
{
    // Stable, so that of two cells at one place the later one wins below;
    // most files give their cells in order already.
    const auto before
        = [](const Cell& a, const Cell& b) { return a.row != b.row ? a.row < b.row : a.column < b.column; };
    if (!std::is_sorted(cells_.begin(), cells_.end(), before))
        std::stable_sort(cells_.begin(), cells_.end(), before);
    TableRows rows;
    if (cells_.empty())
        return rows;
    std::uint32_t firstColumn = std::numeric_limits<std::uint32_t>::max();
    for (const Cell& cell : cells_)
        firstColumn = std::min(firstColumn, cell.column);
    // The rows' widths from the last cell of each, before any is made.
    std::uint64_t width = 0;
    for (std::size_t k = 0; k < cells_.size(); ++k) {
        if (k + 1 == cells_.size() || cells_[k + 1].row != cells_[k].row)
            width += cells_[k].column - firstColumn + 1;
    }
    if (width > MaxTableCells)
        ThrowTooManyCells();
    const std::uint32_t firstRow = cells_.front().row;
    rows.resize(cells_.back().row - firstRow + 1);
    for (std::size_t k = 0; k < cells_.size();) {
        std::size_t end = k;
        while (end < cells_.size() && cells_[end].row == cells_[k].row)
            ++end;
        auto& row = rows[cells_[k].row - firstRow];
        row.resize(cells_[end - 1].column - firstColumn + 1);
        for (; k < end; ++k)
            row[cells_[k].column - firstColumn] = std::move(cells_[k].text);
    }
    cells_.clear();
    cells_.shrink_to_fit();
    return rows;
}

TableSheet SheetBuilder::sheet(std::string name)
{
    TableSheet made {std::move(name), {}};
    if (!cells_.empty()) {
        made.firstRow
            = static_cast<int>(std::min_element(cells_.begin(), cells_.end(), [](const Cell& a, const Cell& b) {
                  return a.row < b.row;
              })->row);
        made.firstColumn
            = static_cast<int>(std::min_element(cells_.begin(), cells_.end(), [](const Cell& a, const Cell& b) {
                  return a.column < b.column;
              })->column);
    }
    made.rows = rows();
    return made;
}

} // namespace fenban
