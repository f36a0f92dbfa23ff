#include "roster/CellGrid.h"

#include <algorithm>

namespace fenban {

namespace {
const std::string emptyText;
}

CellGrid::CellGrid(int colCount, int rowCount)
    : cols_(std::max(colCount, 1)), rows_(std::max(rowCount, 1)),
      cells_(static_cast<std::size_t>(cols_) * static_cast<std::size_t>(rows_))
{
}

const std::string& CellGrid::cell(int col, int row) const
{
    return contains(col, row) ? cells_[index(col, row)] : emptyText;
}

void CellGrid::setCell(int col, int row, std::string text)
{
    if (contains(col, row))
        cells_[index(col, row)] = std::move(text);
}

void CellGrid::clearCells()
{
    for (std::string& text : cells_)
        std::string().swap(text);
}

bool CellGrid::setRowCount(int rows)
{
    rows = std::max(rows, 1);
    cells_.resize(static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols_));
    rows_ = rows;
    if (currentRow_ < rows_)
        return false;
    currentRow_ = rows_ - 1;
    return true;
}

bool CellGrid::setColCount(int cols)
{
    cols = std::max(cols, 1);
    if (cols != cols_) {
        std::vector<std::string> moved(static_cast<std::size_t>(cols) * static_cast<std::size_t>(rows_));
        const int kept = std::min(cols, cols_);
        for (int row = 0; row < rows_; ++row)
            for (int col = 0; col < kept; ++col)
                moved[static_cast<std::size_t>(row) * static_cast<std::size_t>(cols) + static_cast<std::size_t>(col)] =
                    std::move(cells_[index(col, row)]);
        cells_ = std::move(moved);
        cols_ = cols;
    }
    if (currentCol_ < cols_)
        return false;
    currentCol_ = cols_ - 1;
    return true;
}

void CellGrid::setCurrent(int col, int row)
{
    if (!contains(col, row))
        return;
    currentCol_ = col;
    currentRow_ = row;
}

} // namespace fenban
