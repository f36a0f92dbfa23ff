#pragma once

#include "roster/RosterBuilder.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace fenban {

// Cuts pasted text into lines. A line ends at CR LF, at a lone CR or at a
// lone LF (LF CR is two ends with an empty line between). A line end at the
// very end adds no empty line; an empty text has no lines. The text ends at
// its first NUL, as clipboard text does.
std::vector<std::string_view> SplitLines(std::string_view text);

// Cuts one line at every tab. A line without a tab is one field; the text
// behind the last tab, empty or not, is the last field.
std::vector<std::string_view> SplitFields(std::string_view line);

// Rows of fields: a pasted text cut by SplitTable, or the cells of a sheet
// read from a file. The views point into the text (or cells) they came from.
using FieldRow = std::vector<std::string_view>;
using FieldRows = std::vector<FieldRow>;

// A pasted text as rows of fields: SplitLines, then SplitFields on each line.
FieldRows SplitTable(std::string_view text);

// The roster grid's counts for a table: a row per table row, at least two;
// RosterColumns columns, or one more than the widest row's fields.
struct TableGridSize {
    int cols = 0;
    int rows = 0;
};
TableGridSize GridSizeForTable(std::span<const FieldRow> table);

// Sizes a roster grid for the table in the steps a paste has always taken:
// RosterColumns columns, then the rows, then the columns of a wider row (a
// current cell left outside moves at each step). `Grid` is a CellGrid or the
// model that shows one.
template <class Grid> void SizeGridForTable(Grid& grid, std::span<const FieldRow> table)
{
    const TableGridSize size = GridSizeForTable(table);
    grid.setColCount(RosterColumns);
    grid.setRowCount(size.rows);
    grid.setColCount(size.cols);
}

// Writes the table into a grid sized for it. Every cell is cleared first (no
// text of an earlier table stays); row r is numbered "r" in column 0 (the
// header row "0") and holds its fields from column 1.
void FillGridWithTable(CellGrid& grid, std::span<const FieldRow> table);

// The block of cells from (left, top) to (right, bottom), both included, as
// a spreadsheet takes it: cells joined by tabs, rows by CR LF, no line end
// after the last row, texts unchanged.
std::string BlockText(const CellGrid& grid, int left, int top, int right, int bottom);

} // namespace fenban
