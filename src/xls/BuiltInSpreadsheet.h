#pragma once

#include "xls/FileSaving.h"
#include "xls/Spreadsheet.h"

#include <memory>

namespace fenban {

// The spreadsheet component built into the program, standing in for an
// installed spreadsheet application. "excel.application" (any letter case)
// makes an application whose workbooks have one sheet and are saved as
// Excel 97-2003 files (.xls, whatever the name's extension), written safely
// through files; "excel.sheet" makes an object with no calls; any other name
// gives nullptr.
//
// Failures: SpreadsheetLimitError for a text too long for a cell (at the put)
// or a sheet past 65,536 rows or 256 columns (at saveAs); WriteError when the
// file cannot be written; SpreadsheetError for calls out of turn (no open
// workbook, a closed workbook, after quit).
SpreadsheetFactory BuiltInSpreadsheetFactory(std::shared_ptr<FileSystem> files = DiskFileSystem());

} // namespace fenban
