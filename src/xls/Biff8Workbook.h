#pragma once

#include "xls/LittleEndian.h"
#include "xls/SheetCells.h"

namespace fenban {

// The BIFF8 workbook stream of an Excel 97-2003 file with one worksheet
// holding the given cells: texts as shared-string cells, empty texts as
// blank cells. Throws
// SpreadsheetLimitError when the cells do not fit the format.
Bytes BuildWorkbookStream(const SheetCells& cells);

} // namespace fenban
