#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace fenban {

// The cells of the one sheet of a workbook, by 1-based row and column.
// Each distinct non-empty text is kept once, in first-put order: that list
// becomes the shared string table of the file. An empty text makes an empty
// cell, as a spreadsheet application does when given an empty value.
class SheetCells {
public:
    static constexpr int MaxRows = 65536;
    static constexpr int MaxColumns = 256;
    static constexpr std::size_t MaxTextLength = 32767; // UTF-16 units

    struct Cell {
        int row; // 0-based
        int column; // 0-based
        std::uint32_t text; // index into texts(), or Empty
    };
    static constexpr std::uint32_t Empty = 0xFFFFFFFF;

    // Throws SpreadsheetError for a row or column below 1 and
    // SpreadsheetLimitError for a text longer than MaxTextLength. Rows and
    // columns past the format's limits are taken here and refused by
    // checkLimits(), which can then name the size of the whole table.
    void put(int row, int column, std::string_view utf8);

    // Throws SpreadsheetLimitError when a cell lies past MaxRows or MaxColumns.
    void checkLimits() const;

    // Ordered by row, then column; of several puts to one cell, the last.
    std::vector<Cell> orderedCells() const;

    const std::vector<const std::u16string*>& texts() const { return texts_; }
    int rowCount() const { return rowCount_; }
    int columnCount() const { return columnCount_; }

    void clear();

private:
    std::vector<Cell> cells_; // in put order
    std::unordered_map<std::u16string, std::uint32_t> textIndex_;
    // Keys of textIndex_ by index; map nodes never move, so the pointers hold.
    std::vector<const std::u16string*> texts_;
    int rowCount_ = 0;
    int columnCount_ = 0;
};

} // namespace fenban
