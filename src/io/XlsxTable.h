#pragma once

#include "io/TableFile.h"

#include <string>
#include <string_view>

namespace fenban {

// The first non-empty worksheet of an .xlsx workbook (the bytes of a zip
// archive), in the order of workbook.xml. Throws TableProblem.
TableRows ReadXlsxTable(std::string_view bytes);

// Decodes the _xHHHH_ escapes of OOXML strings (a CR is stored as _x000D_).
std::string DecodeOoxmlEscapes(std::string text);

} // namespace fenban
