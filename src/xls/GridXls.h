#pragma once

#include "common/FileSaving.h"

#include <filesystem>
#include <functional>
#include <string>

namespace fenban {

// The text of grid cell (column, row), both 0-based.
using GridCellText = std::function<const std::string&(int column, int row)>;

// Writes a grid as an Excel 97-2003 file (.xls, whatever the name's
// extension) with one sheet: grid row r, column c at sheet row r + 1, column
// c + 1, every text as a text cell and an empty text as an empty cell.
// Throws SpreadsheetLimitError, before the file is touched, for a text too
// long for a cell or a grid past 65,536 rows or 256 columns; saves through
// SaveFileSafely (WriteError naming the file, no partial file left).
void WriteGridXls(
    FileSystem& files, const std::filesystem::path& file, int rowCount, int columnCount, const GridCellText& cell);

} // namespace fenban
