#pragma once

#include "io/TableFile.h"

#include <filesystem>
#include <string_view>
#include <vector>

namespace fenban {

// How far a reader goes: every sheet, or up to the first one with a cell.
enum class SheetsWanted { All, FirstWithData };

// The sheets of a table file whose bytes are in memory; name gives the
// extension (and a text file's sheet name). ReadTableSheets and
// ReadTableFile read through it, the fuzz targets call it directly. Throws
// TableProblem, std::out_of_range and std::bad_alloc, which ReadTableSheets
// turns into TableReadError.
std::vector<TableSheet> ReadTableBytes(std::string_view bytes, const std::filesystem::path& name, SheetsWanted wanted);

// Throws TableProblem (too large) when a workbook lists more sheets than
// MaxWorkbookSheets.
void CheckSheetCount(std::size_t count);

} // namespace fenban
