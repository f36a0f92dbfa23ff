#pragma once

#include "io/TableFile.h"

#include <filesystem>
#include <string_view>

namespace fenban {

// The first non-empty sheet of an Excel 97-2003 (.xls) workbook whose bytes
// are given (an OLE2 compound file). FreeXL reads the cells; the values of
// formula and boolean cells, which FreeXL skips, come from the workbook
// stream's FORMULA, STRING and BOOLERR records. Throws TableProblem.
TableRows ReadXlsTable(const std::filesystem::path& file, std::string_view bytes);

// Throws TableProblem (encrypted) when a compound file is an encrypted
// Office document (an .xlsx with a password is one).
void RejectEncryptedPackage(std::string_view bytes);

} // namespace fenban
