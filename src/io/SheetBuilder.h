#pragma once

#include "io/TableFile.h"

#include <cstdint>
#include <string>
#include <vector>

namespace fenban {

// The cells a workbook may hold in all, counted across its sheets while they
// are read, so that no file makes the reader hold more than that.
class CellBudget {
public:
    // Throws TableProblem (too large) when the count passes MaxTableCells.
    void spend(std::uint64_t cells);

private:
    std::uint64_t spent_ = 0;
};

// The non-empty cells of one sheet as a reader meets them, in any order,
// made into TableRows at the end. Only non-empty cells are held, so a file
// of empty fields or far-apart cells costs no memory; a cell given twice
// keeps its last text.
class SheetBuilder {
public:
    explicit SheetBuilder(CellBudget& budget)
        : budget_(budget)
    {
    }
    // Checks the position (0-based) against the table limits first; empty
    // text is no cell.
    void put(long long row, long long column, std::string text);
    // The table, trimmed; throws TableProblem (too large) when the block of
    // its rows would hold more than MaxTableCells cells.
    TableRows rows();
    // The sheet as TableSheet holds it: rows() and where they start.
    TableSheet sheet(std::string name);

private:
    struct Cell {
        std::uint32_t row;
        std::uint32_t column;
        std::string text;
    };
    CellBudget& budget_;
    std::vector<Cell> cells_;
};

[[noreturn]] void ThrowTooManyCells();

} // namespace fenban
