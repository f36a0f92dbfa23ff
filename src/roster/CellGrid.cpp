#include "roster/CellGrid.h"

#include <algorithm>

namespace fenban {

namespace {
const std::string emptyText;
}

CellGrid::CellGrid(int colCount, int rowCount)
    : cols_(std::max(colCount, 1))
    , rows_(std::max(rowCount, 1))
    , cells_(static_cast<std::size_t>(rows_))
{
}

const std::string& CellGrid::cell(int col, int row) const
{
    if (!contains(col, row))
        return emptyText;
    const std::vector<std::string>& line = cells_[static_cast<std::size_t>(row)];
    const auto at = static_cast<std::size_t>(col);
    return at < line.size() ? line[at] : emptyText;
}

int CellGrid::heldCells(int row) const
{
    if (row < 0 || row >= rows_)
        return 0;
    return static_cast<int>(std::min(cells_[static_cast<std::size_t>(row)].size(), static_cast<std::size_t>(cols_)));
}

void CellGrid::setCell(int col, int row, std::string text)
{
    if (!contains(col, row))
        return;
    std::vector<std::string>& line = cells_[static_cast<std::size_t>(row)];
    const auto at = static_cast<std::size_t>(col);
    if (at >= line.size()) {
        if (text.empty())
            return; // an empty cell needs no room
        if (line.capacity() == 0)
            line.reserve(std::min<std::size_t>(static_cast<std::size_t>(cols_), 16)); // a roster row at once
        line.resize(at + 1);
    }
    line[at] = std::move(text);
}

void CellGrid::clearCells()
{
    for (std::vector<std::string>& line : cells_)
        std::vector<std::string>().swap(line);
}

bool CellGrid::setRowCount(int rows)
{
    rows = std::max(rows, 1);
    cells_.resize(static_cast<std::size_t>(rows));
    rows_ = rows;
    if (currentRow_ < rows_)
        return false;
    currentRow_ = rows_ - 1;
    return true;
}

bool CellGrid::setColCount(int cols)
{
    cols = std::max(cols, 1);
    if (cols < cols_)
        for (std::vector<std::string>& line : cells_)
            if (line.size() > static_cast<std::size_t>(cols))
                line.resize(static_cast<std::size_t>(cols));
    cols_ = cols;
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
