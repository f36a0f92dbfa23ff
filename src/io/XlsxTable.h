#pragma once

#include "io/TableBytes.h"

#include <string>
#include <string_view>

namespace fenban {

// The worksheets of an .xlsx workbook (the bytes of a zip archive) in the
// order of workbook.xml, each part unpacked and parsed a piece at a time.
// Throws TableProblem.
std::vector<TableSheet> ReadXlsxSheets(std::string_view bytes, SheetsWanted wanted);

// Decodes the _xHHHH_ escapes of OOXML strings (a CR is stored as _x000D_).
std::string DecodeOoxmlEscapes(std::string text);

} // namespace fenban
