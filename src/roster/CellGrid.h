#pragma once

#include <string>
#include <vector>

namespace fenban {

// The cells of a string grid without the drawing: a column and a row count,
// one fixed row (0) and one fixed column (0), UTF-8 texts addressed as
// (column, row), and the current cell. Counts never drop below 1.
class CellGrid {
public:
    CellGrid(int colCount, int rowCount);

    int colCount() const { return cols_; }
    int rowCount() const { return rows_; }

    // Empty text for a cell outside the grid.
    const std::string& cell(int col, int row) const;
    // The row's cells from column 0 up to the last one written; every cell
    // beyond is empty. 0 outside the grid.
    int heldCells(int row) const;
    // Writes nothing outside the grid.
    void setCell(int col, int row, std::string text);
    void clearCells();

    // Cells inside both the old and the new counts keep their text. When the
    // current cell falls outside, it moves to the last row (column); these
    // return true then, so the move can be reported as a selection.
    bool setRowCount(int rows);
    bool setColCount(int cols);

    bool hasCurrent() const { return currentCol_ >= 0; }
    int currentCol() const { return currentCol_; }
    int currentRow() const { return currentRow_; }
    // Ignored outside the grid.
    void setCurrent(int col, int row);
    void clearCurrent() { currentCol_ = currentRow_ = -1; }

    bool contains(int col, int row) const { return col >= 0 && row >= 0 && col < cols_ && row < rows_; }

private:
    int cols_;
    int rows_;
    // One vector per row, holding cells up to the last one written: memory
    // follows the texts, not rows times columns (one pasted line of 10,000
    // fields among 100,000 lines would otherwise need a billion cells).
    std::vector<std::vector<std::string>> cells_;
    int currentCol_ = -1;
    int currentRow_ = -1;
};

} // namespace fenban
